// The fuzzers that read scenes need the module started, as the host has it
// when it reads a scene: shaders are looked up in its registry.
#ifndef TESSALINE_TESTS_FUZZ_MODULE_FIXTURE_H
#define TESSALINE_TESTS_FUZZ_MODULE_FIXTURE_H

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "hostapp/loader/launch.h"

// The module stays loaded for the whole run. It is ended at exit by a
// handler registered after the host's services came to be, so that it runs
// while they still exist.
inline tess::host::LaunchedModule*& FuzzedModule() {
  static tess::host::LaunchedModule* module = nullptr;
  return module;
}

inline void LaunchModuleOnce() {
  if (FuzzedModule() != nullptr) return;
  std::string error;
  FuzzedModule() = tess::host::LaunchedModule::Launch(TESSALINE_MODULE, &error).release();
  if (FuzzedModule() == nullptr) {
    std::fprintf(stderr, "fuzz: cannot start the module: %s\n", error.c_str());
    std::abort();
  }
  std::atexit([] { delete FuzzedModule(); });
}

#endif
