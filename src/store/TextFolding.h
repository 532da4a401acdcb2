#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace pantrio {

// Text folded for a search that ignores letter case and accents, as UTF-8: compatibility
// decomposition, combining marks dropped, full case folding ("ß" and "ẞ" become "ss"), so
// that "creme brulee" is found in "Crème Brûlée" and "STRASSE" in "Straße". ASCII takes a
// fast path; bytes that are not UTF-8 are kept as they are.
void appendFoldedLoosely(std::string& out, std::string_view utf8);
std::string foldLoosely(std::string_view utf8);

// The words of loosely folded text: runs of ASCII letters and digits and of non-ASCII bytes.
// Text that contains a folded search text holds every word of that text inside one of its own
// words, which is what lets a word list rule recipes out. Words longer than MaxWordBytes are
// passed as overlapping pieces WordStrideBytes apart, so that any part of a word no longer
// than WordStrideBytes lies whole inside one of them.
inline constexpr std::size_t MaxWordBytes = 32;
inline constexpr std::size_t WordStrideBytes = 16;
void forEachWord(std::string_view folded, const std::function<void(std::string_view)>& word);

} // namespace pantrio
