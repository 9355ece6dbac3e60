// `tessaline-host info`: load the module, start it, list what it registered.
#ifndef TESSALINE_HOSTAPP_CLI_INFO_COMMAND_H
#define TESSALINE_HOSTAPP_CLI_INFO_COMMAND_H

#include <iosfwd>
#include <string>

namespace tess::cli {

// Returns the process exit code; errors go to err as one line.
int RunInfo(const std::string& modulePath, std::ostream& out, std::ostream& err);

}  // namespace tess::cli

#endif
