// "Did you mean ...?": the known names nearest to a mistyped one.
#ifndef TESSALINE_HOSTAPP_SCENE_NEAREST_NAMES_H
#define TESSALINE_HOSTAPP_SCENE_NEAREST_NAMES_H

#include <cstddef>
#include <string>
#include <vector>

namespace tess::render {

// The names at the smallest edit distance from `name` (insertions, deletions,
// substitutions and swaps of neighbouring letters, case ignored; a name that
// holds `name` whole counts as one edit away), at most `count` of them in
// their given order; none when even the nearest differs in more than half of
// its letters.
std::vector<std::string> NearestNames(const std::string& name, const std::vector<std::string>& known, size_t count = 3);

// " (did you mean A or B?)", or empty when no name is near.
std::string DidYouMean(const std::string& name, const std::vector<std::string>& known);

}  // namespace tess::render

#endif
