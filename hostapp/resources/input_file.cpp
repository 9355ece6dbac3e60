#include "hostapp/resources/input_file.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace tess::resources {

namespace fs = std::filesystem;

namespace {

std::string SizeText(std::uint64_t bytes) {
  constexpr std::uint64_t mib = std::uint64_t{1024} * 1024;
  return bytes >= mib ? std::to_string(bytes / mib) + " MB" : std::to_string(bytes) + " bytes";
}

}  // namespace

std::string CheckInputFile(const std::string& path, std::uint64_t maxBytes) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (ec || !fs::exists(status)) return path + ": cannot open the file";
  if (!fs::is_regular_file(status)) return path + ": not a regular file";
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec) return path + ": cannot open the file";
  if (size > maxBytes) return path + ": the file is larger than the limit of " + SizeText(maxBytes);
  return {};
}

std::string CheckStreamInput(const std::string& path, std::uint64_t maxBytes) {
  std::error_code ec;
  if (fs::is_fifo(fs::status(path, ec))) return {};
  return CheckInputFile(path, maxBytes);
}

bool ReadInputFile(const std::string& path, std::uint64_t maxBytes, std::string& text, std::string& error) {
  error = CheckInputFile(path, maxBytes);
  if (!error.empty()) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot open the file";
    return false;
  }
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    error = path + ": cannot read the file";
    return false;
  }
  return true;
}

}  // namespace tess::resources
