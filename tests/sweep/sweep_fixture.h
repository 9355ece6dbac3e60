// Runs the built tessaline-host, with the module it loads, on inputs a test
// writes into a folder of its own.
#ifndef TESSALINE_TESTS_SWEEP_SWEEP_FIXTURE_H
#define TESSALINE_TESTS_SWEEP_SWEEP_FIXTURE_H

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace tess::test {

namespace fs = std::filesystem;

struct HostRun {
  int exitCode = -1;   // -1 when the host did not exit normally (a crash)
  std::string output;  // stdout and stderr together
};

class Sweep : public ::testing::Test {
 protected:
  Sweep() {
    folder = fs::temp_directory_path() /
             ("tessaline-sweep-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
              std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
  }
  ~Sweep() override {
    std::error_code ec;
    fs::remove_all(folder, ec);
  }

  fs::path Write(const std::string& name, const std::string& text) const {
    fs::path path = folder / name;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  // `shell` comes before the host in the command line: a limit to set, or a
  // command to pipe from.
  static HostRun Host(const std::string& arguments, const std::string& shell = "") {
    HostRun run;
    const std::string command = shell + " '" + TESSALINE_HOST_PROGRAM + "' " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    std::array<char, 4096> buffer{};
    while (fgets(buffer.data(), buffer.size(), pipe) != nullptr) run.output += buffer.data();
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
  }

  // A failure is one line naming what was wrong, and a non-zero exit, never a crash.
  static void ExpectOneLineError(const HostRun& run, const std::string& words) {
    EXPECT_GT(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output.rfind("error: ", 0), 0u) << run.output;
    EXPECT_EQ(run.output.find('\n'), run.output.size() - 1) << "one line: " << run.output;
    EXPECT_NE(run.output.find(words), std::string::npos) << run.output;
  }

  fs::path folder;
};

}  // namespace tess::test

#endif
