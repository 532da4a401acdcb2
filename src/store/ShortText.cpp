#include "ShortText.h"

namespace pantrio {

QString shortText(const QString& text)
{
    if (text.size() <= QuotedLength)
        return text;
    qsizetype keep = QuotedLength;
    if (text.at(keep - 1).isHighSurrogate()) // never half a character
        --keep;
    return text.left(keep) + QChar(0x2026);
}

} // namespace pantrio
