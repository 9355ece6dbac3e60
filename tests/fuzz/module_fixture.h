// The fuzzers that read scenes need the module started, as the host has it
// when it reads a scene: shaders are looked up in its registry.
#ifndef TESSALINE_TESTS_FUZZ_MODULE_FIXTURE_H
#define TESSALINE_TESTS_FUZZ_MODULE_FIXTURE_H

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "hostapp/loader/launch.h"

inline void LaunchModuleOnce() {
  static std::unique_ptr<tess::host::LaunchedModule> module;
  if (module != nullptr) return;
  std::string error;
  module = tess::host::LaunchedModule::Launch(TESSALINE_MODULE, &error);
  if (module == nullptr) {
    std::fprintf(stderr, "fuzz: cannot start the module: %s\n", error.c_str());
    std::abort();
  }
}

#endif
