// A model as bytes, from the reader process to the host: written by
// tessaline-import into the memory file the host passed it, read back by the
// host as untrusted input. A reader that went wrong may have written
// anything, so every count, index and coordinate is checked on the way in.
#ifndef TESSALINE_HOSTAPP_ASSETS_MODEL_WIRE_H
#define TESSALINE_HOSTAPP_ASSETS_MODEL_WIRE_H

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "hostapp/assets/import_cache.h"
#include "hostapp/assets/model_import.h"

namespace tess::assets {

// Memory that is part of the answer file already: `size` bytes at `base`,
// which are the file's bytes from `offset` (the reader's mapping of them).
// Arrays that lie there are named where they lie, not written again.
struct InPlace {
  const char* base = nullptr;
  size_t size = 0;
  uint64_t offset = 0;
};

// Writes the result (a model, or its error line) and the files it was read
// from to the file `fd`: the arrays that are not in place from offset `end`
// on (at least past the root record), then the header, then at offset 0 the
// root record that names the header. False when a write fails.
bool WriteModelResult(int fd, const ModelResult& result, const std::vector<FileStamp>& opened,
                      const std::vector<InPlace>& inPlace = {}, uint64_t end = 0);

// The result WriteModelResult wrote into the `size` bytes at `data`, which
// must not change while the model lives: the model's node views point into
// them, and hold them (Model::storage). Bytes that are not such a result
// (cut short, counts beyond the bytes, indices outside their node's points,
// a tree that is no tree, coordinates that are not finite) give the error
// "path: the reader's answer is malformed (what)". Texts come back as valid
// UTF-8 on one line.
ModelResult ParseModelResult(const std::shared_ptr<const char>& data, size_t size, const std::string& path,
                             std::vector<FileStamp>& opened);

}  // namespace tess::assets

#endif
