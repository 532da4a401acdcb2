#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QString>

namespace pantrio::exchange {

// JSON as web pages write it. Valid JSON reads as it is; otherwise what pages add around and
// inside it is taken away first: an HTML comment or CDATA wrapper, comments, a ';' after it,
// commas before a closing bracket, raw control characters in strings. Several values one
// after another read as a list. A text with no value in it gives Undefined and no error.
struct LenientJson
{
    QJsonValue value;
    QString error; // empty when read
};

LenientJson readLenientJson(const QByteArray& json);

} // namespace pantrio::exchange
