#include "hostapp/web/upload_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace tess::web {
namespace {

namespace fs = std::filesystem;

constexpr int maxTries = 100;

std::string Reason() {
  return std::strerror(errno);
}

}  // namespace

Upload::Upload(std::string path, int folderDescriptor) : folder(std::move(path)), descriptor(folderDescriptor) {}

Upload::~Upload() {
  if (file >= 0) ::close(file);
  ::close(descriptor);
  if (kept) return;
  std::error_code ec;
  fs::remove_all(folder, ec);  // removes links themselves, never what they point to
}

std::string Upload::Create(const std::string& name) {
  std::string why = Close();
  if (!why.empty()) return why;
  file = ::openat(descriptor, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (file < 0)
    return errno == EEXIST ? name + ": two files have this name" : name + ": cannot be written: " + Reason();
  names.push_back(name);
  return {};
}

bool Upload::Write(const char* data, size_t size) {
  while (size > 0 && error.empty()) {
    const ssize_t written = ::write(file, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      error = names.back() + ": cannot be written: " + Reason();
      return false;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return error.empty();
}

std::string Upload::Close() {
  if (file < 0) return error;
  if (::close(file) != 0 && error.empty()) error = names.back() + ": cannot be written: " + Reason();
  file = -1;
  return error;
}

UploadFolder::~UploadFolder() {
  if (descriptor < 0) return;
  ::close(descriptor);
  std::error_code ec;
  fs::remove_all(root, ec);
}

std::string UploadFolder::MakeRoot() {
  std::error_code ec;
  const fs::path temp = fs::temp_directory_path(ec);
  if (ec) return "no temporary folder: " + ec.message();
  std::string made = (temp / "tessaline-open-XXXXXX").string();
  if (::mkdtemp(made.data()) == nullptr) return "cannot make a folder in " + temp.string() + ": " + Reason();
  descriptor = ::open(made.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (descriptor < 0) {
    const std::string why = Reason();
    ::rmdir(made.c_str());
    return "cannot open " + made + ": " + why;
  }
  root = made;
  return {};
}

std::unique_ptr<Upload> UploadFolder::Begin(std::string& error) {
  std::lock_guard<std::mutex> lock(mutex);
  if (descriptor < 0) error = MakeRoot();
  if (!error.empty()) return nullptr;
  // A name someone else took (a link put in the way) is passed over, never used.
  std::string name = std::to_string(++next);
  for (int tries = 1; ::mkdirat(descriptor, name.c_str(), 0700) != 0; ++tries) {
    if (errno != EEXIST || tries == maxTries) {
      error = "cannot make a folder in " + root + ": " + Reason();
      return nullptr;
    }
    name = std::to_string(++next);
  }
  const int sub = ::openat(descriptor, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (sub < 0) {
    error = "cannot open " + root + "/" + name + ": " + Reason();
    return nullptr;
  }
  return std::make_unique<Upload>(root + "/" + name, sub);
}

std::string UploadFolder::Path() const {
  std::lock_guard<std::mutex> lock(mutex);
  return root;
}

}  // namespace tess::web
