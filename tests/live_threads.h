// The threads alive in this process, as the kernel lists them.
#ifndef TESSALINE_TESTS_LIVE_THREADS_H
#define TESSALINE_TESTS_LIVE_THREADS_H

#include <dirent.h>

#include <cstddef>

namespace tess::test {

inline size_t LiveThreads() {
  size_t count = 0;
  if (DIR* tasks = opendir("/proc/self/task")) {
    while (const dirent* entry = readdir(tasks))
      if (entry->d_name[0] != '.') ++count;
    closedir(tasks);
  }
  return count;
}

}  // namespace tess::test

#endif
