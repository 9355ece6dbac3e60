// Where the files a page sends to be opened are written: one private folder
// per server run (mode 0700, under the system's temporary folder, made at the
// first upload), each upload in a subfolder of its own, so that the files of
// an opened scene stay as they were while later uploads come and go. All of
// it is removed when the UploadFolder goes. Links are never followed: every
// folder and file is opened relative to its parent's descriptor, and files
// are made new (O_EXCL), never reused.
#ifndef TESSALINE_HOSTAPP_WEB_UPLOAD_FOLDER_H
#define TESSALINE_HOSTAPP_WEB_UPLOAD_FOLDER_H

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tess::web {

class UploadFolder;

// One upload's files, written one after the other. Removed with its
// subfolder when it goes, unless kept.
class Upload {
 public:
  Upload(std::string path, int folderDescriptor);
  ~Upload();
  Upload(const Upload&) = delete;
  Upload& operator=(const Upload&) = delete;

  // Starts the next file, a bare name (BareNameProblem), closing the one
  // before. Empty, or why it cannot be made, as one line.
  std::string Create(const std::string& name);
  // Appends to the file being written; false with a reason in Error().
  bool Write(const char* data, size_t size);
  // Closes the file being written; empty, or why it could not be written.
  std::string Close();
  const std::string& Error() const { return error; }

  // The names made so far, in order.
  const std::vector<std::string>& Names() const { return names; }
  const std::string& Folder() const { return folder; }
  std::string PathOf(const std::string& name) const { return folder + "/" + name; }
  // The files stay until the UploadFolder goes.
  void Keep() { kept = true; }

 private:
  std::string folder;
  int descriptor;  // the subfolder's
  int file = -1;   // the file being written
  std::vector<std::string> names;
  std::string error;
  bool kept = false;
};

class UploadFolder {
 public:
  UploadFolder() = default;
  ~UploadFolder();
  UploadFolder(const UploadFolder&) = delete;
  UploadFolder& operator=(const UploadFolder&) = delete;

  // A new, empty subfolder; null with one line in `error` when the folder
  // cannot be made. Safe from any thread.
  std::unique_ptr<Upload> Begin(std::string& error);
  // The run's folder; empty until the first upload.
  std::string Path() const;

 private:
  std::string MakeRoot();

  mutable std::mutex mutex;
  std::string root;
  int descriptor = -1;  // root's
  unsigned next = 0;    // the next subfolder's number
};

}  // namespace tess::web

#endif
