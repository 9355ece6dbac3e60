// Reading a model in a process of its own: a reader that crashes, hangs or
// takes all memory on a bad file takes only that process down. The host
// checks the file's header first (CheckModelFile), then starts
// tessaline-import, which lives beside the host's executable, with the
// file's path and a memory file (memfd) to answer into; the reader limits
// its own address space and CPU time (setrlimit), and the host kills it when
// it outlives its time on the clock. The answer is checked as untrusted
// bytes (model_wire.h).
#ifndef TESSALINE_HOSTAPP_ASSETS_ISOLATED_IMPORT_H
#define TESSALINE_HOSTAPP_ASSETS_ISOLATED_IMPORT_H

#include <cstdint>
#include <string>

#include "hostapp/assets/model_import.h"
#include "hostapp/assets/up_axis.h"

namespace tess::assets {

struct ImportLimits {
  std::uint64_t memoryBytes = 0;  // the reader's address space
  double seconds = 0.0;           // on the clock, and of CPU time
};

// 4 GB or half the machine's memory, whichever is less, and 120 s.
ImportLimits DefaultImportLimits();

// The smallest memory limit a reader can start with.
constexpr std::uint64_t minImportMemory = 16ull << 20;

// "4G", "512M", "64k" or a number of bytes (suffixes are powers of 1024, any
// case, an optional trailing "B"); false for anything else.
bool ParseByteSize(const std::string& text, std::uint64_t& bytes);
// "4 GB", "512 MB", or "123456 bytes".
std::string FormatByteSize(std::uint64_t bytes);

// tessaline-import's command line: ANSWER_FD DONE_FD MEMORY_BYTES SECONDS UP
// PATH, where UP is the file's up axis given ("x" ... "-z") or "file" for
// what the file states or its format's custom; it answers into ANSWER_FD (WriteModelResult), writes a byte to
// DONE_FD and exits 0, or exits with one of these.
constexpr int readerExitUsage = 2;        // a bad command line, or the answer could not be written
constexpr int readerExitOutOfMemory = 3;  // an allocation failed within the memory limit

// tessaline-import beside the running executable (/proc/self/exe).
std::string ReaderBesideExecutable();

// The reader at `reader` reads `path` within `limits`. Its failures are one
// line each: "path: the reader crashed (signal 11)", "path: the reader ran out
// of its 4 GB memory limit", "path: the reader took more than 120 s".
ModelResult ImportIsolated(const std::string& path, std::optional<UpAxis> up, const std::string& reader,
                           const ImportLimits& limits);

// How LoadModel reads: in this process (the default, for tests and fuzzing,
// which read through ImportModel directly) or through the reader process.
struct ImportSettings {
  bool isolated = false;
  std::string reader;  // the reader's executable
  ImportLimits limits = DefaultImportLimits();
};
void SetImportSettings(const ImportSettings& settings);
ImportSettings CurrentImportSettings();

// The model at `path` as the settings say, the last one again while its
// files stay the same (CachedImport). The host's commands read every model
// file other than OBJ through this.
ModelResult LoadModel(const std::string& path, std::optional<UpAxis> up = std::nullopt);

}  // namespace tess::assets

#endif
