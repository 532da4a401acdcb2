#include "RecipeText.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <QRegularExpression>

namespace pantrio::exchange {

namespace {

// Windows-1252's 0x80-0x9F; the rest of the code page is Latin-1.
constexpr std::array<char16_t, 32> Cp1252High = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

bool isUtf8(QByteArrayView bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        const unsigned char c = *p++;
        if (c < 0x80)
            continue;
        int more = 0;
        if ((c & 0xE0) == 0xC0 && c >= 0xC2)
            more = 1;
        else if ((c & 0xF0) == 0xE0)
            more = 2;
        else if ((c & 0xF8) == 0xF0 && c <= 0xF4)
            more = 3;
        else
            return false;
        if (end - p < more)
            return false;
        for (int i = 0; i < more; ++i)
            if ((p[i] & 0xC0) != 0x80)
                return false;
        p += more;
    }
    return true;
}

struct NamedReference
{
    const char* name;
    char32_t first;
    char32_t second;
};

constexpr NamedReference NamedReferences[] = {
#include "HtmlReferences.inc"
};

const NamedReference* namedReference(QStringView name)
{
    char key[40];
    if (name.size() >= qsizetype(sizeof key))
        return nullptr;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name[i].unicode() > 0x7F)
            return nullptr;
        key[i] = char(name[i].unicode());
    }
    key[name.size()] = 0;
    const auto* end = std::end(NamedReferences);
    const auto* at =
        std::lower_bound(std::begin(NamedReferences), end, key,
                         [](const NamedReference& r, const char* k) { return std::strcmp(r.name, k) < 0; });
    return at != end && std::strcmp(at->name, key) == 0 ? at : nullptr;
}

// Tags, comments and doctype-like declarations; a '<' that starts none of them is text.
const QRegularExpression& markupPattern()
{
    static const QRegularExpression tags(
        QStringLiteral("<(?:/?[A-Za-z][A-Za-z0-9:-]*(?:\\s[^<>]*)?/?|!--.*?--|![A-Za-z\\[][^<>]*)>"),
        QRegularExpression::DotMatchesEverythingOption);
    return tags;
}

QString withoutMarkup(const QString& html)
{
    static const QRegularExpression breaks(QStringLiteral("<br\\s*/?>|</(?:p|li|div|h[1-6]|tr)\\s*>"),
                                           QRegularExpression::CaseInsensitiveOption);
    QString text = html;
    text.replace(breaks, QStringLiteral("\n"));
    text.remove(markupPattern());
    return text;
}

} // namespace

QString decodeLine(QByteArrayView bytes)
{
    if (isUtf8(bytes))
        return QString::fromUtf8(bytes);
    return decodeWindows1252(bytes);
}

QString decodeWindows1252(QByteArrayView bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* d = out.data();
    for (char b : bytes) {
        const auto c = static_cast<unsigned char>(b);
        *d++ = QChar(c >= 0x80 && c < 0xA0 ? Cp1252High[c - 0x80] : char16_t(c));
    }
    return out;
}

QString decodeEntities(const QString& text)
{
    qsizetype amp = text.indexOf(u'&');
    if (amp < 0)
        return text;
    QString out;
    out.reserve(text.size());
    qsizetype from = 0;
    while (amp >= 0) {
        out += QStringView(text).mid(from, amp - from);
        const qsizetype semi = text.indexOf(u';', amp + 1);
        bool done = false;
        if (semi > amp + 1 && semi - amp <= 34) {
            const QStringView name = QStringView(text).mid(amp + 1, semi - amp - 1);
            char32_t code = 0;
            if (name.startsWith(u'#')) {
                bool ok = false;
                const uint value = name.size() > 1 && (name[1] == u'x' || name[1] == u'X')
                                       ? name.mid(2).toUInt(&ok, 16)
                                       : name.mid(1).toUInt(&ok, 10);
                if (ok && value > 0 && value <= 0x10FFFF)
                    code = value;
                // Pages from Windows editors write their code page's numbers (`&#146;` for ’),
                // which browsers read as that code page.
                if (code >= 0x80 && code < 0xA0 && Cp1252High[code - 0x80] != 0xFFFD)
                    code = Cp1252High[code - 0x80];
            } else if (const NamedReference* ref = namedReference(name)) {
                code = ref->first;
                if (ref->second) // a few names stand for two characters
                    out += QString::fromUcs4(&ref->first, 1);
                code = ref->second ? ref->second : ref->first;
            }
            if (code) {
                out += QString::fromUcs4(&code, 1);
                from = semi + 1;
                done = true;
            }
        }
        if (!done) {
            out += u'&';
            from = amp + 1;
        }
        amp = text.indexOf(u'&', from);
    }
    out += QStringView(text).mid(from);
    return out;
}

QString plainText(const QString& html)
{
    // A text without markup keeps its blank ends, so that what Pantrio writes reads back the same;
    // a '<' that starts no tag ("< 190 °C") is no markup.
    QString text = html.contains(u'<') ? withoutMarkup(html) : html;
    bool markup = text.size() != html.size();
    text = decodeEntities(text);
    // Markup the page gave escaped (`&lt;p&gt;`, both brackets: Pantrio's own export escapes
    // only the '<' of a text that looks like a tag) is markup all the same, one level down.
    static const QRegularExpression escaped(QStringLiteral("&lt;/?[A-Za-z][^<>]*?&gt;"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (html.contains(u'&') && html.contains(QLatin1StringView("&gt;"), Qt::CaseInsensitive) &&
        escaped.match(html).hasMatch()) {
        text = decodeEntities(withoutMarkup(text));
        markup = true;
    }
    return markup ? text.trimmed() : text;
}

void tidyRecipe(RecipeValues& recipe)
{
    for (Field f : allFields) {
        FieldValue& value = recipe[f];
        if (!value)
            continue;
        QString& text = *value;
        text.remove(QChar(0));
        if (text.contains(u'\r')) {
            text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
            text.replace(u'\r', u'\n');
        }
        const bool oneLine = f == Field::RecipeName || f == Field::FoodCategoryID;
        if (oneLine && !text.isEmpty() &&
            (text.contains(u'\n') || text.at(0).isSpace() || text.at(text.size() - 1).isSpace())) {
            QStringList lines = text.split(u'\n');
            for (QString& line : lines)
                line = line.trimmed();
            lines.removeAll(QString());
            text = lines.join(u' ');
        }
    }
}

namespace {

struct DurationUnit
{
    QChar iso;
    bool time; // after the T
    const char* one;
    const char* many;
};

constexpr DurationUnit DurationUnits[] = {{u'Y', false, "year", "years"},   {u'M', false, "month", "months"},
                                          {u'W', false, "week", "weeks"},   {u'D', false, "day", "days"},
                                          {u'H', true, "hour", "hours"},    {u'M', true, "minute", "minutes"},
                                          {u'S', true, "second", "seconds"}};

} // namespace

std::optional<QString> readableDuration(const QString& iso)
{
    static const QRegularExpression form(
        QStringLiteral("^P(?:(\\d+)Y)?(?:(\\d+)M)?(?:(\\d+)W)?(?:(\\d+)D)?(?:T(?:(\\d+)H)?(?:(\\d+)M)?(?:("
                       "\\d+(?:\\.\\d+)?)S)?)?$"));
    const QRegularExpressionMatch m = form.match(iso.trimmed().toUpper());
    if (!m.hasMatch())
        return std::nullopt;
    QStringList parts;
    bool any = false;
    for (int i = 0; i < 7; ++i) {
        const QString number = m.captured(i + 1);
        if (number.isEmpty())
            continue;
        any = true;
        const double value = number.toDouble();
        if (value == 0)
            continue;
        QString shown = number;
        while (shown.contains(u'.') && (shown.endsWith(u'0') || shown.endsWith(u'.')))
            shown.chop(1);
        if (shown.size() > 1 && shown.startsWith(u'0') && !shown.contains(u'.'))
            shown = QString::number(number.toLongLong());
        parts << shown + u' ' + QLatin1StringView(value == 1 ? DurationUnits[i].one : DurationUnits[i].many);
    }
    if (!any)
        return std::nullopt;
    if (parts.isEmpty())
        return QStringLiteral("0 minutes");
    return parts.join(u' ');
}

std::optional<QString> isoDuration(const QString& readable)
{
    const QStringList words = readable.split(u' ');
    if (words.isEmpty() || words.size() % 2)
        return std::nullopt;
    QString date, time;
    int next = 0; // units must come in order, each once
    for (qsizetype i = 0; i < words.size(); i += 2) {
        const QString& number = words[i];
        bool ok = false;
        const qulonglong value = number.toULongLong(&ok);
        if (!ok || number.startsWith(u'0') || number.startsWith(u'+'))
            return std::nullopt;
        int unit = next;
        while (unit < 7 && words[i + 1] != QLatin1StringView(value == 1 ? DurationUnits[unit].one
                                                                        : DurationUnits[unit].many))
            ++unit;
        if (unit == 7)
            return std::nullopt;
        next = unit + 1;
        (DurationUnits[unit].time ? time : date) += number + DurationUnits[unit].iso;
    }
    const QString iso = u'P' + date + (time.isEmpty() ? QString() : u'T' + time);
    if (readableDuration(iso) != readable)
        return std::nullopt;
    return iso;
}

QString squeezeSpace(const QString& text)
{
    return text.simplified();
}

namespace {

constexpr Field KeyFields[] = {Field::RecipeName, Field::FoodCategoryID, Field::Ingredients,
                               Field::Instructions};

} // namespace

bool sameRecipe(const RecipeValues& a, const RecipeValues& b)
{
    for (Field f : KeyFields)
        if (squeezeSpace(a[f].value_or(QString())) != squeezeSpace(b[f].value_or(QString())))
            return false;
    return true;
}

std::uint64_t recipeKey(const RecipeValues& values)
{
    // FNV-1a over the text as squeezeSpace leaves it, without building that text.
    std::uint64_t key = 0xCBF29CE484222325ull;
    const auto mix = [&key](char16_t c) { key = (key ^ c) * 0x100000001B3ull; };
    for (Field f : KeyFields) {
        bool space = false, started = false;
        if (const FieldValue& v = values[f]) {
            for (QChar c : *v) {
                if (c.isSpace()) {
                    space = started;
                    continue;
                }
                if (space)
                    mix(u' ');
                mix(c.unicode());
                space = false;
                started = true;
            }
        }
        mix(0xFFFF); // between fields
    }
    return key;
}

} // namespace pantrio::exchange
