#include "RecipeText.h"

#include <array>
#include <QHash>
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

const QHash<QString, char32_t>& namedEntities()
{
    // The names recipe pages use; a full table would be thousands of names for nothing.
    static const QHash<QString, char32_t> names = {
        {QStringLiteral("amp"), U'&'},      {QStringLiteral("lt"), U'<'},
        {QStringLiteral("gt"), U'>'},       {QStringLiteral("quot"), U'"'},
        {QStringLiteral("apos"), U'\''},    {QStringLiteral("nbsp"), 0xA0},
        {QStringLiteral("deg"), 0xB0},      {QStringLiteral("frac12"), 0xBD},
        {QStringLiteral("frac14"), 0xBC},   {QStringLiteral("frac34"), 0xBE},
        {QStringLiteral("frac13"), 0x2153}, {QStringLiteral("frac23"), 0x2154},
        {QStringLiteral("times"), 0xD7},    {QStringLiteral("ndash"), 0x2013},
        {QStringLiteral("mdash"), 0x2014},  {QStringLiteral("lsquo"), 0x2018},
        {QStringLiteral("rsquo"), 0x2019},  {QStringLiteral("ldquo"), 0x201C},
        {QStringLiteral("rdquo"), 0x201D},  {QStringLiteral("hellip"), 0x2026},
        {QStringLiteral("bull"), 0x2022},   {QStringLiteral("copy"), 0xA9},
        {QStringLiteral("reg"), 0xAE},      {QStringLiteral("trade"), 0x2122},
        {QStringLiteral("eacute"), 0xE9},   {QStringLiteral("egrave"), 0xE8},
        {QStringLiteral("ecirc"), 0xEA},    {QStringLiteral("euml"), 0xEB},
        {QStringLiteral("aacute"), 0xE1},   {QStringLiteral("agrave"), 0xE0},
        {QStringLiteral("acirc"), 0xE2},    {QStringLiteral("auml"), 0xE4},
        {QStringLiteral("aring"), 0xE5},    {QStringLiteral("atilde"), 0xE3},
        {QStringLiteral("ccedil"), 0xE7},   {QStringLiteral("iacute"), 0xED},
        {QStringLiteral("icirc"), 0xEE},    {QStringLiteral("iuml"), 0xEF},
        {QStringLiteral("ntilde"), 0xF1},   {QStringLiteral("oacute"), 0xF3},
        {QStringLiteral("ocirc"), 0xF4},    {QStringLiteral("ouml"), 0xF6},
        {QStringLiteral("otilde"), 0xF5},   {QStringLiteral("oslash"), 0xF8},
        {QStringLiteral("uacute"), 0xFA},   {QStringLiteral("ucirc"), 0xFB},
        {QStringLiteral("uuml"), 0xFC},     {QStringLiteral("szlig"), 0xDF},
        {QStringLiteral("Eacute"), 0xC9},   {QStringLiteral("Auml"), 0xC4},
        {QStringLiteral("Ouml"), 0xD6},     {QStringLiteral("Uuml"), 0xDC},
        {QStringLiteral("Ccedil"), 0xC7},   {QStringLiteral("Ntilde"), 0xD1},
        {QStringLiteral("aelig"), 0xE6},    {QStringLiteral("oelig"), 0x153},
        {QStringLiteral("euro"), 0x20AC},   {QStringLiteral("pound"), 0xA3},
        {QStringLiteral("cent"), 0xA2},     {QStringLiteral("middot"), 0xB7},
        {QStringLiteral("frasl"), 0x2044},  {QStringLiteral("shy"), 0xAD},
        {QStringLiteral("ordm"), 0xBA},
    };
    return names;
}

} // namespace

QString decodeLine(QByteArrayView bytes)
{
    if (isUtf8(bytes))
        return QString::fromUtf8(bytes);
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
        if (semi > amp + 1 && semi - amp <= 12) {
            const QStringView name = QStringView(text).mid(amp + 1, semi - amp - 1);
            char32_t code = 0;
            if (name.startsWith(u'#')) {
                bool ok = false;
                const uint value = name.size() > 1 && (name[1] == u'x' || name[1] == u'X')
                                       ? name.mid(2).toUInt(&ok, 16)
                                       : name.mid(1).toUInt(&ok, 10);
                if (ok && value > 0 && value <= 0x10FFFF)
                    code = value;
            } else {
                code = namedEntities().value(name.toString(), 0);
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
    if (!html.contains(u'<'))
        return decodeEntities(html);
    static const QRegularExpression breaks(QStringLiteral("<br\\s*/?>|</p\\s*>|</li\\s*>"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tags(QStringLiteral("<[A-Za-z/!][^>]*>"));
    QString text = html;
    text.replace(breaks, QStringLiteral("\n"));
    text.remove(tags);
    return decodeEntities(text).trimmed();
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
