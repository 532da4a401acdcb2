#include "RecipeFormats.h"
#include "RecipeText.h"

#include <QRegularExpression>

namespace pantrio::exchange {

namespace {

// '&' and '<' only where a reader would take them for markup, so the text reads back unchanged.
QString escapeMarkup(const QString& text)
{
    static const QRegularExpression markup(QStringLiteral("&(?=#?\\w+;)|<(?=[A-Za-z/!])"));
    if (!text.contains(u'&') && !text.contains(u'<'))
        return text;
    QString result;
    result.reserve(text.size() + 16);
    qsizetype from = 0;
    auto it = markup.globalMatch(text);
    while (it.hasNext()) {
        const auto m = it.next();
        result += QStringView(text).mid(from, m.capturedStart() - from);
        result += text[m.capturedStart()] == u'&' ? QStringLiteral("&amp;") : QStringLiteral("&lt;");
        from = m.capturedEnd();
    }
    result += QStringView(text).mid(from);
    return result;
}

} // namespace

void beginJson(QIODevice& out)
{
    out.write("[\n");
}

namespace {

void putJsonString(QString& out, const QString& text)
{
    out += u'"';
    const QChar* data = text.constData();
    qsizetype from = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = data[i].unicode();
        if (c >= 0x20 && c != u'"' && c != u'\\')
            continue;
        out.append(data + from, i - from);
        from = i + 1;
        switch (c) {
        case u'"':
            out += QLatin1StringView("\\\"");
            break;
        case u'\\':
            out += QLatin1StringView("\\\\");
            break;
        case u'\n':
            out += QLatin1StringView("\\n");
            break;
        case u'\r':
            out += QLatin1StringView("\\r");
            break;
        case u'\t':
            out += QLatin1StringView("\\t");
            break;
        default:
            out += QStringLiteral("\\u%1").arg(uint(c), 4, 16, QChar(u'0'));
        }
    }
    out.append(data + from, text.size() - from);
    out += u'"';
}

} // namespace

// Written by hand rather than through QJsonDocument: keys in a reader's order, and export at
// the speed of the disk.
void writeJson(QIODevice& device, const RecipeValues& r, bool first)
{
    QString out;
    out.reserve(4096);
    out += first ? QLatin1StringView("") : QLatin1StringView(",\n");
    out += QLatin1StringView(R"({"@context": "https://schema.org", "@type": "Recipe")");
    const auto key = [&](const char* name) {
        out += QLatin1StringView(", \"");
        out += QLatin1StringView(name);
        out += QLatin1StringView("\": ");
    };
    const auto put = [&](const char* name, const FieldValue& v) {
        if (!v)
            return;
        key(name);
        putJsonString(out, escapeMarkup(*v));
    };
    put("name", r[Field::RecipeName]);
    put("recipeCategory", r[Field::FoodCategoryID]);
    put("description", r[Field::RecipeDescription]);
    if (const FieldValue& time = r[Field::TimeToPrepare]) {
        key("totalTime");
        putJsonString(out, isoDuration(*time).value_or(escapeMarkup(*time)));
    }
    if (const FieldValue& ingredients = r[Field::Ingredients]) {
        key("recipeIngredient");
        out += u'[';
        bool firstLine = true;
        for (const QString& line : ingredients->split(u'\n')) {
            if (!firstLine)
                out += QLatin1StringView(", ");
            firstLine = false;
            putJsonString(out, escapeMarkup(line));
        }
        out += u']';
    }
    put("recipeInstructions", r[Field::Instructions]);
    put("text", r[Field::Notes]);
    out += u'}';
    device.write(out.toUtf8());
}

void endJson(QIODevice& out)
{
    out.write("\n]\n");
}

} // namespace pantrio::exchange
