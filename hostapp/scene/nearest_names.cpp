#include "hostapp/scene/nearest_names.h"

#include <algorithm>
#include <cctype>

namespace tess::render {
namespace {

// Optimal string alignment distance on upper-cased letters.
size_t Distance(const std::string& a, const std::string& b) {
  const auto up = [](char c) { return std::toupper(static_cast<unsigned char>(c)); };
  std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
  for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (size_t i = 1; i <= a.size(); ++i)
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t cost = up(a[i - 1]) == up(b[j - 1]) ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && up(a[i - 1]) == up(b[j - 2]) && up(a[i - 2]) == up(b[j - 1]))
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  return d[a.size()][b.size()];
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::vector<std::string> NearestNames(const std::string& name, const std::vector<std::string>& known, size_t count) {
  // Names far longer than any symbol are not worth a quadratic table.
  if (name.size() > 256) return {};
  size_t best = SIZE_MAX;
  std::vector<std::string> nearest;
  for (const std::string& candidate : known) {
    if (candidate.size() > 256 || std::find(nearest.begin(), nearest.end(), candidate) != nearest.end()) continue;
    size_t d = Distance(name, candidate);
    // A symbol written without its prefix ("BORDER_EDGES") is as near as a typo.
    if (name.size() >= 3 && Upper(candidate).find(Upper(name)) != std::string::npos) d = std::min<size_t>(d, 1);
    if (d * 2 > std::max(candidate.size(), name.size())) continue;
    if (d < best) {
      best = d;
      nearest.clear();
    }
    if (d == best && nearest.size() < count) nearest.push_back(candidate);
  }
  return nearest;
}

std::string DidYouMean(const std::string& name, const std::vector<std::string>& known) {
  const std::vector<std::string> nearest = NearestNames(name, known);
  if (nearest.empty()) return {};
  std::string text = " (did you mean ";
  for (size_t i = 0; i < nearest.size(); ++i)
    text += (i == 0 ? "" : i + 1 == nearest.size() ? " or " : ", ") + nearest[i];
  return text + "?)";
}

}  // namespace tess::render
