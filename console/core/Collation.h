// The order of every sorted list the console shows. Names are compared as a
// Chinese user expects: Chinese characters by their pinyin, Latin letters
// without regard to case; names that still tie are put in byte order, so two
// different names never compare equal and every sort is repeatable.
//
// Thread-safety: GUI thread only (one shared collator).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace warden::console {

// Negative, zero or positive as `a` sorts before, with or after `b`.
int CompareNames(std::string_view a, std::string_view b);

inline bool NameLess(std::string_view a, std::string_view b) {
    return CompareNames(a, b) < 0;
}

// Sorts `names` in that order; cheaper than std::sort with NameLess for long
// lists, as each name is prepared for comparison once.
void SortNames(std::vector<std::string>& names);

}  // namespace warden::console
