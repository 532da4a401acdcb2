#include "TextFolding.h"

#include <QString>

#include <array>
#include <cstdint>
#include <vector>

namespace pantrio {

namespace {

constexpr char32_t Invalid = 0xFFFFFFFF; // a byte that is not UTF-8 stays as it is

char32_t decodeAt(std::string_view s, std::size_t& i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(i);
    const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    if (extra < 0 || lead > 0xF4 || i + std::size_t(extra) >= s.size()) {
        ++i;
        return Invalid;
    }
    char32_t cp = lead & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        const unsigned char c = byte(i + std::size_t(k));
        if ((c & 0xC0) != 0x80) {
            ++i;
            return Invalid;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    i += std::size_t(extra) + 1;
    return cp;
}

std::string foldCodePoint(char32_t cp)
{
    const QString decomposed = QString::fromUcs4(&cp, 1).normalized(QString::NormalizationForm_KD);
    QString bare;
    for (QChar c : decomposed)
        if (!c.isMark())
            bare += c;
    QString folded = bare.toCaseFolded();
    // Simple case folding leaves the sharp s as it is; its full folding is "ss".
    folded.replace(QChar(0x00DF), QLatin1String("ss"));
    return folded.toStdString();
}

// The folding of every code point below TableEnd, worked out once: Latin, Greek, Cyrillic and
// the other alphabets recipes are written in, with their punctuation.
constexpr char32_t TableEnd = 0x3000;

class FoldTable
{
public:
    FoldTable()
    {
        starts_.reserve(TableEnd + 1);
        for (char32_t cp = 0; cp < TableEnd; ++cp) {
            starts_.push_back(std::uint32_t(text_.size()));
            if (cp >= 0x80 && (cp < 0xD800 || cp > 0xDFFF))
                text_ += foldCodePoint(cp);
        }
        starts_.push_back(std::uint32_t(text_.size()));
    }
    std::string_view of(char32_t cp) const
    {
        return std::string_view(text_).substr(starts_[cp], starts_[cp + 1] - starts_[cp]);
    }

private:
    std::string text_;
    std::vector<std::uint32_t> starts_;
};

const FoldTable& foldTable()
{
    static const FoldTable table;
    return table;
}

} // namespace

void appendFoldedLoosely(std::string& out, std::string_view utf8)
{
    const FoldTable* table = nullptr;
    std::size_t i = 0;
    const std::size_t size = utf8.size();
    while (i < size) {
        // A run of ASCII at a time: most recipes are nearly all ASCII.
        std::size_t end = i;
        while (end < size && static_cast<unsigned char>(utf8[end]) < 0x80)
            ++end;
        if (end > i) {
            const std::size_t at = out.size();
            out.resize(at + (end - i));
            char* to = out.data() + at;
            for (const char* from = utf8.data() + i; from != utf8.data() + end; ++from, ++to)
                *to = char(*from >= 'A' && *from <= 'Z' ? *from + ('a' - 'A') : *from);
            i = end;
            continue;
        }
        const std::size_t at = i;
        const char32_t cp = decodeAt(utf8, i);
        if (cp == Invalid) {
            out += utf8[at];
        } else if (cp < TableEnd) {
            if (!table)
                table = &foldTable();
            out += table->of(cp);
        } else {
            out += foldCodePoint(cp);
        }
    }
}

std::string foldLoosely(std::string_view utf8)
{
    std::string out;
    appendFoldedLoosely(out, utf8);
    return out;
}

} // namespace pantrio
