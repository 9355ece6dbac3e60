// Files written whole or not at all: the bytes go to a new file beside the
// target, are flushed to the disk and only then renamed over the target. A
// reader sees the old file or the new one, never half of either, and a full
// disk or a file-size limit leaves the old file as it was. A device or a
// pipe (/dev/stdout) is written in place, as it cannot be replaced.
#ifndef TESSALINE_HOSTAPP_SERVICES_ATOMIC_FILE_H
#define TESSALINE_HOSTAPP_SERVICES_ATOMIC_FILE_H

#include <string>
#include <string_view>

namespace tess::host {

// Empty on success, else the reason in a few lowercase words ("no space left
// on device", "file too large", "permission denied"), for the caller to put
// after the file's name. A failure removes the temporary file.
std::string WriteFileAtomically(const std::string& path, std::string_view bytes);

// "PATH: reason", or empty on success.
std::string WriteFileOrSay(const std::string& path, std::string_view bytes);

}  // namespace tess::host

#endif
