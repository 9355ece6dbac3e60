// POST /api/open: the files a page sends, written to the run's private
// folder, and the first model among them opened in place of the scene.
#include <algorithm>
#include <string>
#include <vector>

#include "hostapp/web/api_error.h"
#include "hostapp/web/server_state.h"
#include "hostapp/web/upload_names.h"

namespace tess::web {
namespace {

constexpr const char* nameHeader = "X-Tessaline-Filename";

// Writes the body's files into an upload. The first refusal wins; the rest
// of the body is still read and dropped, so that it is never taken for the
// connection's next request.
class BodyWriter {
 public:
  explicit BodyWriter(Upload& into) : upload(into) {}

  void Refuse(int code, const std::string& why) {
    if (!Refused()) status = code, message = why;
  }
  bool Refused() const { return !message.empty(); }

  // Starts the next file; a name that is not a bare file name refuses the
  // whole request. Always goes on reading.
  bool Start(const std::string& name) {
    if (Refused()) return true;
    const std::string problem = BareNameProblem(name);
    if (!problem.empty()) {
      Refuse(400, problem);
    } else if (Named(name)) {
      Refuse(400, render::Printable(name) + ": two files have this name");
    } else {
      const std::string why = upload.Create(name);
      if (!why.empty()) Refuse(500, why);
    }
    return true;
  }

  // False only past the size limit: a body of no stated length could go on
  // for ever.
  bool Append(const char* data, size_t size) {
    bytes += size;
    if (bytes > maxOpenBytes) {
      Refuse(413, "the files are over 2 GiB, more than a mesh file may be");
      return false;
    }
    if (!Refused() && !upload.Write(data, size)) Refuse(500, upload.Error());
    return true;
  }

  // After the body was read (`read`: whether to its end); throws the refusal.
  void Finish(bool read, const httplib::Response& res) {
    if (!read && !Refused()) {
      Refuse(res.status == 413 ? 413 : 400, res.status == 413
                                                ? "the files are over 2 GiB, more than a mesh file may be"
                                                : "the body ended before its stated length, or was malformed");
    }
    const std::string closed = upload.Close();
    if (!closed.empty()) Refuse(500, closed);
    if (!Refused() && bytes == 0) Refuse(400, "the body is empty");
    if (Refused()) throw ApiError(status, message);
  }

 private:
  bool Named(const std::string& name) const {
    const std::vector<std::string>& made = upload.Names();
    return std::find(made.begin(), made.end(), name) != made.end();
  }

  Upload& upload;
  uint64_t bytes = 0;
  int status = 0;
  std::string message;
};

// The header's value whole: get_header_value ends it at a NUL byte, which
// the library's percent-decoding of header values (%00) can put there.
std::string HeaderValue(const httplib::Request& req, const char* key) {
  const auto found = req.headers.find(key);
  return found == req.headers.end() ? std::string() : found->second;
}

// The body is the file, named in its header (percent-encoded; the library
// decodes header values).
void ReadRaw(const httplib::Request& req, const httplib::ContentReader& read, BodyWriter& body,
             httplib::Response& res) {
  const std::string name = HeaderValue(req, nameHeader);
  if (!req.has_header(nameHeader))
    body.Refuse(400,
                std::string("no file name: send it in ") + nameHeader + ", or send the files as multipart/form-data");
  else if (!BareNameProblem(name).empty())
    body.Refuse(400, BareNameProblem(name));
  else if (!IsModelName(name))
    body.Refuse(400, NoModelAmong({name}));
  body.Start(name);
  const bool whole = read([&body](const char* data, size_t size) { return body.Append(data, size); });
  body.Finish(whole, res);
}

// Every part is a file with its name.
void ReadParts(const httplib::ContentReader& read, BodyWriter& body, httplib::Response& res) {
  const bool whole = read([&body](const httplib::MultipartFormData& part) { return body.Start(part.filename); },
                          [&body](const char* data, size_t size) { return body.Append(data, size); });
  body.Finish(whole, res);
}

std::string FirstModel(const std::vector<std::string>& names) {
  for (const std::string& name : names)
    if (IsModelName(name)) return name;
  throw ApiError(400, NoModelAmong(names));
}

// The reader's line names the file as the page did, not where it was written.
std::string WithoutFolder(std::string line, const std::string& folder) {
  const std::string prefix = folder + "/";
  for (size_t at = line.find(prefix); at != std::string::npos; at = line.find(prefix, at))
    line.erase(at, prefix.size());
  return line;
}

// Reads the model as `serve MODEL` does and shows it; the scene and the
// render stay as they were when it is refused.
Json OpenModel(ServerState& s, Upload& upload, const std::string& name) {
  std::lock_guard<std::mutex> lock(s.host);
  std::unique_ptr<PreviewScene> next;
  std::string error;
  {
    // Reading makes the module's shader nodes.
    std::lock_guard<std::mutex> module(s.session->PreparationLock());
    next = PreviewScene::Open(upload.PathOf(name), &error);
  }
  if (next == nullptr) throw ApiError(400, WithoutFolder(error, upload.Folder()));
  std::unique_ptr<PreviewScene> before = s.ReplaceScene(std::move(next));
  upload.Keep();
  {
    // Undo shows it again; what the history lets go meanwhile takes the
    // module's objects behind its nodes with it.
    std::lock_guard<std::mutex> module(s.session->PreparationLock());
    s.history.Done(SceneStep{std::move(before)});
  }
  return SceneJson(s);
}

void Open(ServerState& s, const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& read) {
  std::string error;
  std::unique_ptr<Upload> upload = s.uploads.Begin(error);
  if (upload == nullptr) throw ApiError(500, error);
  BodyWriter body(*upload);
  if (req.is_multipart_form_data())
    ReadParts(read, body, res);
  else
    ReadRaw(req, read, body, res);
  const std::string model = FirstModel(upload->Names());
  Answer(res, [&] { return OpenModel(s, *upload, model); });
}

}  // namespace

void AddOpenRoutes(ServerState& s) {
  s.http.Post(openPath, [&s](const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& read) {
    Guarded([&](const httplib::Request& r, httplib::Response& out) { Open(s, r, out, read); })(req, res);
  });
}

}  // namespace tess::web
