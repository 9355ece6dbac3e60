// tessaline-import ANSWER_FD DONE_FD MEMORY_BYTES SECONDS PATH: reads one
// model file with Assimp (ImportModel's in-process reader) within a memory
// and CPU-time limit it sets on itself, writes the model, or its one-line
// error, into the memory file ANSWER_FD that tessaline-host passed it, and
// says so with a byte on DONE_FD. A crash, a hang or a
// blow-up here ends this process only; the host turns it into one line.
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "hostapp/assets/import_cache.h"
#include "hostapp/assets/isolated_import.h"
#include "hostapp/assets/model_import.h"
#include "hostapp/assets/model_wire.h"

namespace {

struct Job {
  std::string path;
  int answer = -1, done = -1;
};

// Any allocation that fails within the limit ends the reader at once, with
// an exit code the host names; no reader gets to carry on half-allocated.
void OutOfMemory() {
  ::_exit(tess::assets::readerExitOutOfMemory);
}

// For the host's tests only: TESSALINE_IMPORT_FAULT=crash|hang|allocate makes
// this reader fail as a broken one would, to show that the host survives it.
void InjectFault() {
  const char* fault = std::getenv("TESSALINE_IMPORT_FAULT");
  if (fault == nullptr) return;
  if (std::strcmp(fault, "crash") == 0) ::raise(SIGSEGV);
  if (std::strcmp(fault, "hang") == 0)
    for (;;) ::pause();
  if (std::strcmp(fault, "allocate") == 0) {
    std::vector<char*> blocks;
    for (;;) {
      blocks.push_back(new char[64 << 20]);
      std::memset(blocks.back(), 1, 64 << 20);
    }
  }
}

void* Read(void* argument) {
  auto& job = *static_cast<Job*>(argument);
  InjectFault();
  std::vector<tess::assets::FileStamp> opened;
  tess::assets::ModelResult result;
  try {
    result = tess::assets::ReadModel(job.path, opened);
  } catch (const std::exception& e) {
    result = {nullptr, job.path + ": " + e.what()};
  }
  if (!tess::assets::WriteModelResult(job.answer, result, opened)) ::_exit(tess::assets::readerExitUsage);
  // Answered: the host reads the answer while this process's memory is
  // freed, with nothing left to destroy first.
  const char byte = 1;
  ::_exit(::write(job.done, &byte, 1) == 1 ? 0 : tess::assets::readerExitUsage);
}

bool Number(const char* text, double& value) {
  char* end = nullptr;
  value = std::strtod(text, &end);
  return end != text && *end == '\0' && std::isfinite(value) && value > 0.0;
}

}  // namespace

int main(int argc, char** argv) {
  double answer = 0.0, done = 0.0, memory = 0.0, seconds = 0.0;
  if (argc != 6 || !Number(argv[1], answer) || !Number(argv[2], done) || !Number(argv[3], memory) ||
      !Number(argv[4], seconds))
    return tess::assets::readerExitUsage;
  std::set_new_handler(OutOfMemory);
  const auto bytes = static_cast<rlim_t>(memory);
  const rlimit space{bytes, bytes};
  const auto cpu = static_cast<rlim_t>(std::ceil(seconds));
  const rlimit time{cpu, cpu + 1};  // SIGXCPU at the limit, SIGKILL a second later
  if (::setrlimit(RLIMIT_AS, &space) != 0 || ::setrlimit(RLIMIT_CPU, &time) != 0) return tess::assets::readerExitUsage;

  // Readers recurse over a file's node tree, thousands of levels for a deep
  // one: the read runs on a thread with a stack to match, an eighth of the
  // memory limit, at most 256 MB.
  Job job{argv[5], static_cast<int>(answer), static_cast<int>(done)};
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  const size_t stack = std::max<size_t>(8u << 20, std::min<size_t>(256u << 20, static_cast<size_t>(bytes / 8)));
  pthread_attr_setstacksize(&attributes, stack);
  pthread_t thread;
  if (pthread_create(&thread, &attributes, Read, &job) != 0) OutOfMemory();
  pthread_join(thread, nullptr);
  return tess::assets::readerExitUsage;  // the reading thread ends the process
}
