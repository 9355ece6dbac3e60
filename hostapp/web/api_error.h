// A request the server refuses: the status to answer and one line that says
// what was wrong.
#ifndef TESSALINE_HOSTAPP_WEB_API_ERROR_H
#define TESSALINE_HOSTAPP_WEB_API_ERROR_H

#include <stdexcept>
#include <string>

namespace tess::web {

struct ApiError : std::runtime_error {
  ApiError(int code, const std::string& message) : std::runtime_error(message), status(code) {}
  int status;
};

}  // namespace tess::web

#endif
