#include "hostapp/web/middleware.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <exception>

#include "hostapp/web/api_error.h"
#include "hostapp/assets/utf8.h"

namespace tess::web {
namespace {

constexpr const char* tokenHeader = "X-Tessaline-Token";

// Compares without stopping at the first difference, so the answer's timing
// tells nothing about how much of a guess was right.
bool SameToken(const std::string& given, const std::string& token) {
  if (given.size() != token.size()) return false;
  unsigned difference = 0;
  for (size_t i = 0; i < token.size(); ++i) difference |= static_cast<unsigned>(given[i] ^ token[i]);
  return difference == 0;
}

bool IsApi(const std::string& path) {
  return path == "/api" || path.rfind("/api/", 0) == 0;
}

bool IpLiteral(const std::string& name) {
  if (name.size() > 2 && name.front() == '[' && name.back() == ']') return true;
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0 || c == '.';
  });
}

bool HostAllowed(const AccessRule& rule, const std::string& host) {
  for (const std::string& h : rule.hosts)
    if (host == h) return true;
  if (!rule.anyHost) return false;
  const size_t colon = host.rfind(':');
  if (colon == std::string::npos || host.substr(colon + 1) != rule.port) return false;
  const std::string name = host.substr(0, colon);
  return name == "localhost" || IpLiteral(name);
}

std::string Message(const std::exception_ptr& thrown, int& status) {
  status = 500;
  try {
    std::rethrow_exception(thrown);
  } catch (const ApiError& e) {
    status = e.status;
    return e.what();
  } catch (const Json::exception& e) {
    status = 400;
    return std::string("the request's JSON does not fit: ") + e.what();
  } catch (const std::exception& e) {
    return std::string("the server failed: ") + e.what();
  } catch (...) {
    return "the server failed";
  }
}

// Where a request whose body is refused goes: the body is read and dropped,
// so that a client that sends it whole before reading (most do) gets the
// answer rather than a reset connection, and no byte of it is taken for the
// connection's next request.
constexpr const char* refusedBodyPath = "/.refused-body";

bool ReadsBody(const std::string& method) {
  return method == "POST" || method == "PUT" || method == "PATCH" || method == "DELETE";
}

// Whether a refused body is read and dropped: bodies the library would read
// anyway, not those larger than any route takes (nor ones of no number).
bool Drained(const httplib::Request& req, int status) {
  if (status == 411) return true;
  if (status != 413 || (req.method == "POST" && req.path == openPath)) return false;
  return std::strtoull(req.get_header_value("Content-Length").c_str(), nullptr, 10) <= maxOpenBytes;
}

void DrainAndRefuse(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& read) {
  uint64_t bytes = 0;
  const auto drop = [&bytes](const char*, size_t size) { return (bytes += size) <= maxOpenBytes; };
  if (req.is_multipart_form_data())
    read([](const httplib::MultipartFormData&) { return true; }, drop);
  else
    read(drop);
  int status = 404;
  const std::string why = BodyRefusal(req, status);
  AnswerError(res, status, why.empty() ? "no such path: " + req.path : why);
}

}  // namespace

std::string Dump(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void AnswerError(httplib::Response& res, int status, const std::string& message) {
  res.status = status;
  res.set_header("Cache-Control", "no-store");
  res.set_content(Dump(Json{{"error", assets::ValidUtf8(message)}}), "application/json");
}

void Answer(httplib::Response& res, const std::function<Json()>& make) {
  const Json answer = make();
  res.set_header("Cache-Control", "no-store");
  res.set_content(Dump(answer), "application/json");
}

httplib::Server::Handler Guarded(std::function<void(const httplib::Request&, httplib::Response&)> handler) {
  return [handler = std::move(handler)](const httplib::Request& req, httplib::Response& res) {
    try {
      handler(req, res);
    } catch (...) {
      int status = 500;
      const std::string message = Message(std::current_exception(), status);
      res = httplib::Response();
      AnswerError(res, status, message);
    }
  };
}

AccessRule AccessFor(const std::string& listen, int port, const std::string& token) {
  AccessRule rule;
  rule.token = token;
  rule.port = std::to_string(port);
  const bool v6 = listen.find(':') != std::string::npos;
  rule.hosts.push_back((v6 ? "[" + listen + "]" : listen) + ":" + rule.port);
  if (listen == "127.0.0.1" || listen == "::1") rule.hosts.push_back("localhost:" + rule.port);
  if (listen == "localhost") rule.hosts.push_back("127.0.0.1:" + rule.port);
  rule.anyHost = listen == "0.0.0.0" || listen == "::";
  return rule;
}

std::string Refusal(const AccessRule& rule, const httplib::Request& req) {
  // A page of another site that got a name of its own to resolve here
  // (DNS rebinding) still sends that name.
  const std::string host = req.get_header_value("Host");
  if (!HostAllowed(rule, host)) return "the Host header must name this server (" + rule.hosts.front() + ")";
  if (req.method == "OPTIONS") return "cross-origin requests are refused";
  // Browsers say where a request comes from; other clients say nothing.
  if (req.has_header("Sec-Fetch-Site")) {
    const std::string site = req.get_header_value("Sec-Fetch-Site");
    if (site != "same-origin" && site != "none") return "cross-origin requests are refused";
  }
  if (req.has_header("Origin") && req.get_header_value("Origin") != "http://" + host)
    return "cross-origin requests are refused";
  if (!IsApi(req.path)) return {};
  const std::string given =
      req.has_header(tokenHeader) ? req.get_header_value(tokenHeader) : req.get_param_value("token");
  if (!SameToken(given, rule.token)) return "missing or wrong token";
  return {};
}

std::string BodyRefusal(const httplib::Request& req, int& status) {
  if (!ReadsBody(req.method)) return {};
  const bool opening = req.method == "POST" && req.path == openPath;
  if (req.has_header("Transfer-Encoding") && !opening) {
    status = 411;
    return "send the body with a Content-Length";
  }
  const std::string length = req.get_header_value("Content-Length");
  if (length.empty()) return {};
  char* end = nullptr;
  const unsigned long long bytes = std::strtoull(length.c_str(), &end, 10);
  if (*end != '\0' || !std::isdigit(static_cast<unsigned char>(length.front()))) {
    status = 400;
    return "the Content-Length is not a number";
  }
  if (bytes <= (opening ? maxOpenBytes : maxBodyBytes)) return {};
  status = 413;
  return opening || bytes > maxOpenBytes ? "the request body is over 2 GiB, more than a mesh file may be"
                                         : "the request body is over 1 MiB";
}

void InstallMiddleware(httplib::Server& http, const AccessRule& rule) {
  http.set_pre_routing_handler([rule](const httplib::Request& req, httplib::Response& res) {
    std::string why;
    int status = 403;
    try {
      why = Refusal(rule, req);
      if (why.empty()) why = BodyRefusal(req, status);
    } catch (...) {
      why = "the request could not be read";
    }
    res.set_header("Referrer-Policy", "no-referrer");
    if (why.empty()) return httplib::Server::HandlerResponse::Unhandled;
    if (Drained(req, status)) {
      // The request object is the library's own, not const: it is routed
      // anew, to where its body is read and dropped.
      const_cast<httplib::Request&>(req).path = refusedBodyPath;
      return httplib::Server::HandlerResponse::Unhandled;
    }
    AnswerError(res, status, why);
    // A body left unread must not be taken for the next request.
    if (req.has_header("Transfer-Encoding") ||
        (req.has_header("Content-Length") && req.get_header_value("Content-Length") != "0"))
      res.set_header("Connection", "close");
    return httplib::Server::HandlerResponse::Handled;
  });
  const httplib::Server::HandlerWithContentReader drain = DrainAndRefuse;
  http.Post(refusedBodyPath, drain);
  http.Put(refusedBodyPath, drain);
  http.Patch(refusedBodyPath, drain);
  http.Delete(refusedBodyPath, drain);
  // Runs outside the library's own exception handling: it must not throw.
  http.set_error_handler(httplib::Server::HandlerWithResponse([](const httplib::Request& req, httplib::Response& res) {
    try {
      if (!res.body.empty()) return httplib::Server::HandlerResponse::Handled;
      AnswerError(res, res.status,
                  res.status == 404   ? "no such path: " + render::Printable(req.path)
                  : res.status == 413 ? "the request body is too large"
                                      : "the request was refused");
    } catch (...) {
      res.set_content(R"({"error": "the request was refused"})", "application/json");
    }
    return httplib::Server::HandlerResponse::Handled;
  }));
  http.set_exception_handler([](const httplib::Request&, httplib::Response& res, const std::exception_ptr& thrown) {
    int status = 500;
    const std::string message = Message(thrown, status);
    try {
      AnswerError(res, status, message);
    } catch (...) {
      res.status = 500;
    }
  });
}

}  // namespace tess::web
