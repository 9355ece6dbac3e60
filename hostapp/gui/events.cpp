#include "hostapp/gui/events.h"

#include <charconv>
#include <filesystem>

#include "hostapp/resources/input_file.h"

namespace tess::gui {
namespace {

std::vector<std::string> Words(std::string_view line) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    size_t j = i;
    while (j < line.size() && line[j] != ' ' && line[j] != '\t' && line[j] != '\r') ++j;
    if (j > i) words.emplace_back(line.substr(i, j - i));
    i = j;
  }
  return words;
}

bool ToInt(const std::string& word, int32_t low, int32_t high, int32_t& out) {
  int64_t value = 0;
  const char* end = word.data() + word.size();
  const auto [ptr, ec] = std::from_chars(word.data(), end, value);
  if (ec != std::errc() || ptr != end || value < low || value > high) return false;
  out = static_cast<int32_t>(value);
  return true;
}

EventScript Fail(const std::string& fileName, int line, const std::string& reason) {
  EventScript script;
  script.error = line > 0 ? fileName + ":" + std::to_string(line) + ": " + reason : fileName + ": " + reason;
  return script;
}

}  // namespace

EventScript ParseEvents(std::string_view text, const std::string& fileName) {
  EventScript script;
  int lineNo = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    ++lineNo;
    start = end + 1;
    if (line.find('\0') != std::string_view::npos) return Fail(fileName, lineNo, "binary data in an events file");
    const size_t hash = line.find('#');
    const std::vector<std::string> words = Words(line.substr(0, hash));
    if (words.empty()) {
      if (end == text.size()) break;
      continue;
    }
    PanelEvent event;
    event.line = lineNo;
    event.text = std::string(line.substr(0, hash));
    while (!event.text.empty() && (event.text.back() == ' ' || event.text.back() == '\t' || event.text.back() == '\r'))
      event.text.pop_back();
    const std::string& verb = words[0];
    if (verb == "move" || verb == "click" || verb == "rclick") {
      if (words.size() != 3) return Fail(fileName, lineNo, "'" + verb + "' takes two numbers, X and Y");
      if (!ToInt(words[1], -maxCoordinate, maxCoordinate, event.x))
        return Fail(fileName, lineNo, "X '" + words[1] + "' is not a whole number within +-1000000");
      if (!ToInt(words[2], -maxCoordinate, maxCoordinate, event.y))
        return Fail(fileName, lineNo, "Y '" + words[2] + "' is not a whole number within +-1000000");
      event.kind = verb == "move"    ? PanelEvent::Kind::Move
                   : verb == "click" ? PanelEvent::Kind::Click
                                     : PanelEvent::Kind::RightClick;
    } else if (verb == "wait") {
      if (words.size() != 2) return Fail(fileName, lineNo, "'wait' takes one number of milliseconds");
      if (!ToInt(words[1], 0, maxWaitMs, event.milliseconds))
        return Fail(fileName, lineNo, "milliseconds '" + words[1] + "' are not a whole number from 0 to 3600000");
      event.kind = PanelEvent::Kind::Wait;
    } else {
      std::string shown = verb.substr(0, 40);
      for (char& c : shown)
        if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126) c = '?';
      return Fail(fileName, lineNo, "unknown event '" + shown + "' (expected move, click, rclick or wait)");
    }
    if (script.events.size() >= maxEvents)
      return Fail(fileName, lineNo, "more than " + std::to_string(maxEvents) + " events");
    script.events.push_back(std::move(event));
    if (end == text.size()) break;
  }
  return script;
}

EventScript ReadEvents(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return Fail(path, 0, "no such events file");
  std::string text;
  EventScript failed;
  if (!resources::ReadInputFile(path, resources::maxTextInputBytes, text, failed.error)) return failed;
  return ParseEvents(text, path);
}

}  // namespace tess::gui
