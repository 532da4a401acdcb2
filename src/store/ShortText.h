#pragma once

#include <QString>

namespace pantrio {

// How much of a stored or typed value a message quotes.
inline constexpr qsizetype QuotedLength = 60;

// `text` as a message quotes it: the first QuotedLength characters and "…" when longer, so
// that a huge value cannot grow a message box past the screen.
QString shortText(const QString& text);

} // namespace pantrio
