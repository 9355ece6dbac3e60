// --import-memory and --import-seconds, for the commands that read mesh
// files (render, serve): the limits of the process that reads each file
// other than OBJ (hostapp/assets/isolated_import.h).
#ifndef TESSALINE_HOSTAPP_CLI_IMPORT_OPTIONS_H
#define TESSALINE_HOSTAPP_CLI_IMPORT_OPTIONS_H

#include <CLI/CLI.hpp>

#include <cstdint>
#include <memory>
#include <string>

#include "hostapp/assets/isolated_import.h"

namespace tess::cli {

struct ImportOptions {
  std::string memory;  // empty: the default
  double seconds = 0;  // 0: the default
};

inline std::shared_ptr<ImportOptions> AddImportOptions(CLI::App* cmd) {
  auto options = std::make_shared<ImportOptions>();
  const assets::ImportLimits defaults = assets::DefaultImportLimits();
  const CLI::Validator size(
      [](std::string& text) -> std::string {
        std::uint64_t bytes = 0;
        if (!assets::ParseByteSize(text, bytes)) return "expected bytes, or a size such as 512M or 2G";
        if (bytes < assets::minImportMemory) return "at least " + assets::FormatByteSize(assets::minImportMemory);
        return {};
      },
      "SIZE");
  cmd->add_option("--import-memory", options->memory,
                  "Memory limit of the process that reads each mesh file other than OBJ, in bytes or e.g. 2G "
                  "(default: the lesser of 4 GB and half the machine's memory, here " +
                      assets::FormatByteSize(defaults.memoryBytes) + ")")
      ->check(size);
  cmd->add_option("--import-seconds", options->seconds,
                  "Time limit of that process, in seconds (default: " + std::to_string(int(defaults.seconds)) + ")")
      ->check(CLI::Range(0.1, 1e6));
  return options;
}

// Mesh files other than OBJ are read in tessaline-import, beside this
// executable, within the given limits.
inline void UseImportOptions(const ImportOptions& options) {
  assets::ImportSettings settings;
  settings.isolated = true;
  settings.reader = assets::ReaderBesideExecutable();
  if (!options.memory.empty()) assets::ParseByteSize(options.memory, settings.limits.memoryBytes);
  if (options.seconds > 0) settings.limits.seconds = options.seconds;
  assets::SetImportSettings(settings);
}

}  // namespace tess::cli

#endif
