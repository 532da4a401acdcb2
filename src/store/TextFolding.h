#pragma once

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
template <typename F> void forEachWord(std::string_view folded, F&& word);

inline bool isWordByte(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x80 || (u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
}

template <typename F> void forEachWord(std::string_view folded, F&& word)
{
    std::size_t i = 0;
    const std::size_t size = folded.size();
    while (i < size) {
        while (i < size && !isWordByte(folded[i]))
            ++i;
        const std::size_t start = i;
        while (i < size && isWordByte(folded[i]))
            ++i;
        const std::string_view w = folded.substr(start, i - start);
        if (w.empty())
            break;
        if (w.size() <= MaxWordBytes) {
            word(w);
            continue;
        }
        for (std::size_t at = 0;; at += WordStrideBytes) {
            word(w.substr(at, MaxWordBytes));
            if (at + MaxWordBytes >= w.size())
                break;
        }
    }
}

} // namespace pantrio
