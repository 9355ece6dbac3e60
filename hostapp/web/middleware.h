// What every request goes through before and around its handler: who may
// ask (the Host the server was bound to, same-origin pages only, the run's
// token for the API), answers in JSON with valid UTF-8, and exceptions turned
// into answers, so that no handler can throw out of the server.
#ifndef TESSALINE_HOSTAPP_WEB_MIDDLEWARE_H
#define TESSALINE_HOSTAPP_WEB_MIDDLEWARE_H

#include <httplib.h>

#include <functional>
#include <string>
#include <vector>

#include "hostapp/resources/input_file.h"
#include "hostapp/scene/json_access.h"

namespace tess::web {

using render::Json;

// JSON text in which any invalid UTF-8 left is replaced, never thrown on.
std::string Dump(const Json& value);

// Request bodies are read whole into memory, so they are kept small; only
// POST /api/open, which streams its files to disk, takes more: as much as a
// mesh file may be.
constexpr size_t maxBodyBytes = size_t{1} << 20;
constexpr uint64_t maxOpenBytes = resources::maxMeshInputBytes;
constexpr const char* openPath = "/api/open";

void AnswerError(httplib::Response& res, int status, const std::string& message);
// Sets the JSON answer, or the error's status and message.
void Answer(httplib::Response& res, const std::function<Json()>& make);

// The handler with every exception caught and answered: ApiError with its
// status, a JSON type error with 400, anything else with 500.
httplib::Server::Handler Guarded(std::function<void(const httplib::Request&, httplib::Response&)> handler);

struct AccessRule {
  std::string token;
  std::vector<std::string> hosts;  // the Host values that name this server
  bool anyHost = false;            // bound to every address: any IP literal with the port
  std::string port;
};

// The Host values a server bound to `listen`:`port` answers to.
AccessRule AccessFor(const std::string& listen, int port, const std::string& token);
// Empty when the request may go on, else why not (answered with 403).
std::string Refusal(const AccessRule& rule, const httplib::Request& req);
// Empty when the request's body may be read, else why not: a body over
// its route's limit (413), or one of no stated length on a route that reads
// bodies into memory (411), since the library would read it without a limit.
std::string BodyRefusal(const httplib::Request& req, int& status);

// Installs the access check, the error answers and the last-resort
// exception handler.
void InstallMiddleware(httplib::Server& http, const AccessRule& rule);

}  // namespace tess::web

#endif
