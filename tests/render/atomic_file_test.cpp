// Files are replaced whole or not at all: a failure names its reason, keeps
// the file that was there and leaves no temporary file behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "hostapp/services/atomic_file.h"

namespace tess::test {
namespace {

namespace fs = std::filesystem;

class AtomicFile : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() /
             ("tessaline-atomic-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
              std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(folder, ec);
  }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  fs::path folder;
};

std::string Text(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The writer's answer in a child process whose files may not grow past
// `limit` bytes; the child ignores SIGXFSZ so that the write fails instead.
std::string WriteUnderLimit(const std::string& path, const std::string& bytes, rlim_t limit) {
  int fds[2];
  if (::pipe(fds) != 0) return "no pipe";
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit fsize{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &fsize);
    const std::string why = host::WriteFileAtomically(path, bytes);
    const ssize_t n = ::write(fds[1], why.data(), why.size());
    ::_exit(n == static_cast<ssize_t>(why.size()) ? 0 : 1);
  }
  ::close(fds[1]);
  std::string answer;
  char buffer[256];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) answer.append(buffer, static_cast<size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child ended otherwise: " << status;
  return answer;
}

TEST_F(AtomicFile, ReplacesTheFileWholeKeepingItsPermissionsAndNothingBeside) {
  const fs::path file = folder / "out.txt";
  std::ofstream(file) << "the old text, longer than the new";
  ::chmod(file.c_str(), 0640);
  EXPECT_EQ(host::WriteFileAtomically(file.string(), "new"), "");
  EXPECT_EQ(Text(file), "new");
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(Entries(), std::vector<std::string>{"out.txt"});
  // A new file, and one through a link: the link stays and its file changes.
  EXPECT_EQ(host::WriteFileAtomically((folder / "new.txt").string(), "fresh"), "");
  fs::create_symlink("new.txt", folder / "link.txt");
  EXPECT_EQ(host::WriteFileAtomically((folder / "link.txt").string(), "through"), "");
  EXPECT_TRUE(fs::is_symlink(folder / "link.txt"));
  EXPECT_EQ(Text(folder / "new.txt"), "through");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"link.txt", "new.txt", "out.txt"}));
  // A device is written in place: nothing appears beside it.
  EXPECT_EQ(host::WriteFileAtomically("/dev/null", "nothing"), "");
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

TEST_F(AtomicFile, AFullFileSystemKeepsTheOldFileAndLeavesNoTemporary) {
  const fs::path file = folder / "image.png";
  std::ofstream(file) << "old";
  EXPECT_EQ(WriteUnderLimit(file.string(), std::string(size_t{64} * 1024, 'x'), 4096), "file too large");
  EXPECT_EQ(Text(file), "old");
  EXPECT_EQ(Entries(), std::vector<std::string>{"image.png"});
  // Under the limit the same child writes it.
  EXPECT_EQ(WriteUnderLimit(file.string(), std::string(1000, 'x'), 4096), "");
  EXPECT_EQ(Text(file), std::string(1000, 'x'));
  EXPECT_EQ(Entries(), std::vector<std::string>{"image.png"});
}

TEST_F(AtomicFile, FailuresNameTheirReason) {
  EXPECT_EQ(host::WriteFileAtomically((folder / "missing" / "out.png").string(), "x"), "no such file or directory");
  fs::create_directory(folder / "taken");
  EXPECT_EQ(host::WriteFileAtomically((folder / "taken").string(), "x"), "is a directory");
  EXPECT_TRUE(fs::is_directory(folder / "taken"));
  EXPECT_EQ(host::WriteFileOrSay((folder / "missing" / "out.png").string(), "x"),
            (folder / "missing" / "out.png").string() + ": no such file or directory");
  EXPECT_EQ(Entries(), std::vector<std::string>{"taken"});
}

// The built host under a file-size limit, with SIGXFSZ as it comes: the host
// must turn the signal into an error of its own.
TEST_F(AtomicFile, TheHostUnderAFileSizeLimitReportsItAndKeepsTheOldImage) {
  const fs::path image = folder / "render.png", errors = folder / "errors.txt";
  std::ofstream(image) << "old";
  const pid_t child = ::fork();
  if (child == 0) {
    const int fd = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(fd, STDERR_FILENO);
    ::dup2(fd, STDOUT_FILENO);
    const rlimit fsize{2048, 2048};
    ::setrlimit(RLIMIT_FSIZE, &fsize);
    const std::string scene = std::string(TESSALINE_RENDER_TESTS) + "/scenes/drawedge_color.json";
    ::execl(TESSALINE_HOST_PROGRAM, TESSALINE_HOST_PROGRAM, "render", scene.c_str(), "-o", image.c_str(), "--width",
            "96", "--height", "72", "--threads", "1", "--module", TESSALINE_MODULE, static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(Text(errors), "error: " + image.string() + ": file too large\n");
  EXPECT_EQ(Text(image), "old");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"errors.txt", "render.png"}));
}

}  // namespace
}  // namespace tess::test
