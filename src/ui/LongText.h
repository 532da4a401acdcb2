#pragma once

#include <algorithm>
#include <QString>
#include <QTextOption>

namespace pantrio {

// The wrap mode a multi-line box needs for `text`. Wrapping at word boundaries searches, for
// every line, to the end of the unbroken run it is in, so a run of a megabyte keeps the window
// busy for minutes. Such a run breaks anywhere in either mode; only a value holding one gives
// up word wrapping elsewhere.
inline QTextOption::WrapMode wrapModeFor(const QString& text)
{
    constexpr qsizetype longRun = 10000; // far longer than a line of any box
    qsizetype run = 0;
    for (const QChar c : text) {
        run = c.isSpace() ? 0 : run + 1;
        if (run > longRun)
            return QTextOption::WrapAnywhere;
    }
    return QTextOption::WrapAtWordBoundaryOrAnywhere;
}

} // namespace pantrio
