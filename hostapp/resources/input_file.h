#pragma once

#include <cstdint>
#include <string>

namespace tess::resources {

// Scenes, events and probe lines are small; meshes may be large but not unbounded.
constexpr std::uint64_t maxTextInputBytes = 64ull * 1024 * 1024;
constexpr std::uint64_t maxMeshInputBytes = 2ull * 1024 * 1024 * 1024;

// Empty when `path` names a regular file of at most `maxBytes`; otherwise
// "path: reason". Devices, pipes and folders are refused before anything
// reads them, so a path like /dev/zero cannot make a reader run forever.
std::string CheckInputFile(const std::string& path, std::uint64_t maxBytes);

// For readers that take their input line by line, as they would from
// standard input: a pipe (a FIFO, or /dev/stdin fed by one) passes too, and the
// size limit applies to regular files. Devices and folders are still refused.
std::string CheckStreamInput(const std::string& path, std::uint64_t maxBytes);

// Reads a checked file whole; false with "path: reason" in `error`.
bool ReadInputFile(const std::string& path, std::uint64_t maxBytes, std::string& text, std::string& error);

}  // namespace tess::resources
