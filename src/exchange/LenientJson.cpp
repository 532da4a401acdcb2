#include "LenientJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace pantrio::exchange {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f';
}

// The next byte that is neither blank nor inside a comment, from `i` on; 0 at the end.
char nextSignificant(const QByteArray& in, qsizetype i)
{
    while (i < in.size()) {
        if (isBlank(in[i])) {
            ++i;
        } else if (in[i] == '/' && i + 1 < in.size() && in[i + 1] == '/') {
            i = in.indexOf('\n', i);
            if (i < 0)
                return 0;
        } else if (in[i] == '/' && i + 1 < in.size() && in[i + 1] == '*') {
            i = in.indexOf("*/", i + 2);
            if (i < 0)
                return 0;
            i += 2;
        } else {
            return in[i];
        }
    }
    return 0;
}

// One byte of a string's content; control characters escaped, escapes JSON lacks undone.
void putStringByte(const QByteArray& in, qsizetype& i, QByteArray& out)
{
    const char c = in[i];
    if (c == '\\' && i + 1 < in.size()) {
        const char e = in[i + 1];
        if (QByteArrayView("\"\\/bfnrtu").contains(e))
            out += c;
        out += e; // `\'` and the like: the character itself
        ++i;
    } else if (c == '\n') {
        out += "\\n";
    } else if (c == '\r') {
        out += "\\r";
    } else if (c == '\t') {
        out += "\\t";
    } else if (static_cast<unsigned char>(c) >= 0x20) {
        out += c;
    }
}

// What pages put around a script's JSON so that old browsers skip it.
qsizetype wrapperLength(QByteArrayView rest)
{
    for (const char* wrapper : {"<!--", "-->", "<![CDATA[", "]]>"})
        if (rest.startsWith(wrapper))
            return qsizetype(qstrlen(wrapper));
    return 0;
}

QByteArray cleaned(const QByteArray& in, int& topValues)
{
    QByteArray out;
    out.reserve(in.size() + 2);
    int depth = 0;
    topValues = 0;
    bool inString = false;
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (inString) {
            if (c == '"')
                inString = false;
            if (inString)
                putStringByte(in, i, out);
            else
                out += c;
            continue;
        }
        const QByteArrayView rest(in.constData() + i, in.size() - i);
        if (rest.startsWith("//")) { // also `// <![CDATA[` and `// ]]>`
            const qsizetype end = in.indexOf('\n', i);
            i = end < 0 ? in.size() : end;
            continue;
        }
        if (rest.startsWith("/*")) {
            const qsizetype end = in.indexOf("*/", i + 2);
            i = end < 0 ? in.size() : end + 1;
            continue;
        }
        if (const qsizetype wrapper = depth == 0 ? wrapperLength(rest) : 0) {
            i += wrapper - 1;
            continue;
        }
        if (c == ',') {
            const char n = nextSignificant(in, i + 1);
            if (n == '}' || n == ']' || depth == 0)
                continue;
        } else if (c == ';' && depth == 0) {
            continue;
        } else if (c == '{' || c == '[') {
            if (depth++ == 0 && topValues++ > 0)
                out += ',';
        } else if (c == '}' || c == ']') {
            if (depth == 0)
                continue;
            --depth;
        } else if (c == '"') {
            inString = true;
        } else if (depth == 0 && !isBlank(c)) {
            continue; // stray text between values
        }
        out += c;
    }
    return out;
}

QJsonValue documentValue(const QJsonDocument& doc)
{
    return doc.isArray() ? QJsonValue(doc.array()) : QJsonValue(doc.object());
}

} // namespace

LenientJson readLenientJson(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument strict = QJsonDocument::fromJson(json, &error);
    if (error.error == QJsonParseError::NoError)
        return {documentValue(strict), {}};
    int topValues = 0;
    const QByteArray clean = cleaned(json, topValues);
    if (topValues == 0)
        return clean.trimmed().isEmpty() ? LenientJson{} : LenientJson{{}, error.errorString()};
    QJsonParseError second;
    const QJsonDocument doc = QJsonDocument::fromJson(topValues > 1 ? '[' + clean + ']' : clean, &second);
    if (second.error != QJsonParseError::NoError)
        return {{}, error.errorString()};
    return {documentValue(doc), {}};
}

} // namespace pantrio::exchange
