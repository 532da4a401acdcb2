#include "JsonLdRecipes.h"
#include "LenientJson.h"
#include "RecipeFormats.h"
#include "RecipeText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace pantrio::exchange {

namespace {

QString textOf(const QJsonValue& v);

QString joinTexts(const QJsonArray& items, const QString& separator)
{
    QStringList parts;
    for (const QJsonValue& item : items)
        if (const QString t = textOf(item); !t.isEmpty())
            parts << t;
    return parts.join(separator);
}

// The readable text of a value: a string, a number, or the name of a thing (an author, a unit).
QString textOf(const QJsonValue& v)
{
    switch (v.type()) {
    case QJsonValue::String:
        return plainText(v.toString());
    case QJsonValue::Double:
        return QString::number(v.toDouble());
    case QJsonValue::Array:
        return joinTexts(v.toArray(), QStringLiteral(", "));
    case QJsonValue::Object: {
        const QJsonObject o = v.toObject();
        for (const char* key : {"name", "text", "@value", "url"})
            if (o.contains(QLatin1StringView(key)))
                return textOf(o.value(QLatin1StringView(key)));
        return {};
    }
    default:
        return {};
    }
}

FieldValue optionalText(const QJsonObject& o, const char* key)
{
    const QJsonValue v = o.value(QLatin1StringView(key));
    if (v.isUndefined() || v.isNull())
        return std::nullopt;
    return textOf(v);
}

// `Recipe`, `recipe`, `schema:Recipe` and `https://schema.org/Recipe` alike.
bool isType(const QJsonObject& o, const char* type)
{
    const auto matches = [type](const QJsonValue& v) {
        const QString t = v.toString();
        const qsizetype cut = std::max(t.lastIndexOf(u'/'), t.lastIndexOf(u':')) + 1;
        return QStringView(t).mid(cut).compare(QLatin1StringView(type), Qt::CaseInsensitive) == 0;
    };
    const QJsonValue t = o.value(QLatin1StringView("@type"));
    if (t.isString())
        return matches(t);
    for (const QJsonValue& each : t.toArray())
        if (matches(each))
            return true;
    return false;
}

// Steps as numbered lines, sections as a heading line; a plain text stays as it is.
void addInstructions(const QJsonValue& v, QStringList& lines, int& step)
{
    if (v.isString()) {
        const QString text = plainText(v.toString());
        static const QRegularExpression numbered(QStringLiteral("^\\d+[.)]"));
        if (step == 0 && lines.isEmpty()) {
            lines << text; // a whole text, not one step of a list
            step = -1;
        } else {
            lines << (numbered.match(text).hasMatch()
                          ? text
                          : QString::number(++step) + QStringLiteral(". ") + text);
        }
        return;
    }
    if (v.isArray()) {
        if (step < 0) // a text came first: the rest is steps after it
            step = 0;
        for (const QJsonValue& item : v.toArray()) {
            if (item.isString()) {
                const QString text = plainText(item.toString());
                static const QRegularExpression numbered(QStringLiteral("^\\d+[.)]"));
                lines << (numbered.match(text).hasMatch()
                              ? text
                              : QString::number(++step) + QStringLiteral(". ") + text);
            } else {
                addInstructions(item, lines, step);
            }
        }
        return;
    }
    const QJsonObject o = v.toObject();
    if (isType(o, "HowToSection") || o.contains(QLatin1StringView("itemListElement"))) {
        if (const QString name = textOf(o.value(QLatin1StringView("name"))); !name.isEmpty())
            lines << name + u':';
        if (step < 0)
            step = 0;
        addInstructions(o.value(QLatin1StringView("itemListElement")).isArray()
                            ? o.value(QLatin1StringView("itemListElement"))
                            : QJsonValue(QJsonArray{o.value(QLatin1StringView("itemListElement"))}),
                        lines, step);
        return;
    }
    QString text = textOf(o.value(QLatin1StringView("text")));
    if (text.isEmpty())
        text = textOf(o.value(QLatin1StringView("name")));
    if (!text.isEmpty()) {
        if (step < 0)
            step = 0;
        lines << QString::number(++step) + QStringLiteral(". ") + text;
    }
}

std::optional<std::int64_t> durationSeconds(const QString& iso)
{
    static const QRegularExpression form(
        QStringLiteral("^P(?:(\\d+)D)?(?:T(?:(\\d+)H)?(?:(\\d+)M)?(?:(\\d+)S)?)?$"));
    const auto m = form.match(iso.trimmed().toUpper());
    if (!m.hasMatch())
        return std::nullopt;
    return m.captured(1).toLongLong() * 86400 + m.captured(2).toLongLong() * 3600 +
           m.captured(3).toLongLong() * 60 + m.captured(4).toLongLong();
}

QString readableTime(const QJsonValue& v)
{
    const QString raw = textOf(v);
    return readableDuration(raw).value_or(raw);
}

} // namespace

RecipeValues recipeFromJsonLd(const QJsonObject& o)
{
    RecipeValues r;
    r[Field::RecipeName] = optionalText(o, "name");
    r[Field::FoodCategoryID] = optionalText(o, "recipeCategory");
    r[Field::RecipeDescription] = optionalText(o, "description");

    QStringList notes;
    if (const FieldValue own = optionalText(o, "text"))
        notes << *own;
    const QJsonValue total = o.value(QLatin1StringView("totalTime"));
    const QJsonValue prep = o.value(QLatin1StringView("prepTime"));
    const QJsonValue cook = o.value(QLatin1StringView("cookTime"));
    if (total.isString()) {
        r[Field::TimeToPrepare] = readableTime(total);
    } else if (prep.isString() || cook.isString()) {
        const auto a = prep.isString() ? durationSeconds(prep.toString()) : std::optional<std::int64_t>(0);
        const auto b = cook.isString() ? durationSeconds(cook.toString()) : std::optional<std::int64_t>(0);
        if (a && b) {
            const std::int64_t s = *a + *b;
            r[Field::TimeToPrepare] =
                readableDuration(QStringLiteral("PT%1H%2M%3S").arg(s / 3600).arg(s / 60 % 60).arg(s % 60));
        }
    }
    if (prep.isString())
        notes << QStringLiteral("Preparation time: ") + readableTime(prep);
    if (cook.isString())
        notes << QStringLiteral("Cooking time: ") + readableTime(cook);

    QJsonValue ingredients = o.value(QLatin1StringView("recipeIngredient"));
    if (ingredients.isUndefined())
        ingredients = o.value(QLatin1StringView("ingredients"));
    if (ingredients.isArray()) {
        QStringList lines;
        for (const QJsonValue& each : ingredients.toArray())
            lines << textOf(each);
        r[Field::Ingredients] = lines.join(u'\n');
    } else if (ingredients.isString()) {
        r[Field::Ingredients] = plainText(ingredients.toString());
    }

    const QJsonValue instructions = o.value(QLatin1StringView("recipeInstructions"));
    if (!instructions.isUndefined() && !instructions.isNull()) {
        QStringList lines;
        int step = 0;
        addInstructions(instructions, lines, step);
        r[Field::Instructions] = lines.join(u'\n');
    }

    const std::pair<const char*, const char*> extras[] = {
        {"recipeYield", "Yield: "},  {"author", "Author: "},        {"recipeCuisine", "Cuisine: "},
        {"keywords", "Keywords: "},  {"suitableForDiet", "Diet: "}, {"url", "Source: "},
        {"isBasedOn", "Based on: "},
    };
    for (const auto& [key, label] : extras)
        if (const FieldValue value = optionalText(o, key); value && !value->isEmpty())
            notes << QLatin1StringView(label) + *value;
    if (const QJsonObject nutrition = o.value(QLatin1StringView("nutrition")).toObject();
        !nutrition.isEmpty())
        if (const QString calories = textOf(nutrition.value(QLatin1StringView("calories")));
            !calories.isEmpty())
            notes << QStringLiteral("Calories: ") + calories;
    if (!notes.isEmpty())
        r[Field::Notes] = notes.join(u'\n');
    return r;
}

namespace {

// An @graph written as an object of numbered members ({"0": {...}, "1": {...}}) as a list.
QJsonValue members(const QJsonValue& v)
{
    const QJsonObject o = v.toObject();
    if (!v.isObject() || o.contains(QLatin1StringView("@type")) || o.contains(QLatin1StringView("@id")))
        return v;
    QList<std::pair<qlonglong, QJsonValue>> numbered;
    for (auto it = o.begin(); it != o.end(); ++it) {
        bool number = false;
        const qlonglong n = it.key().toLongLong(&number);
        if (!number)
            return v;
        numbered.append({n, it.value()});
    }
    std::sort(numbered.begin(), numbered.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    QJsonArray list;
    for (const auto& each : numbered)
        list.append(each.second);
    return list;
}

class RecipeWalk
{
public:
    explicit RecipeWalk(const std::function<bool(const QJsonObject&)>& recipe) : recipe_(recipe) {}

    // Objects named by an @id, so that a reference ({"@id": ...} alone) finds its object.
    void index(const QJsonValue& v, int depth = 0)
    {
        if (depth > 64)
            return;
        if (v.isArray()) {
            for (const QJsonValue& each : v.toArray())
                index(each, depth + 1);
            return;
        }
        const QJsonObject o = v.toObject();
        if (const QString id = o.value(QLatin1StringView("@id")).toString(); !id.isEmpty() && o.size() > 1)
            ids_.insert(id, o);
        for (auto it = o.begin(); it != o.end(); ++it)
            if (it->isObject() || it->isArray())
                index(*it, depth + 1);
    }

    bool walk(const QJsonValue& v, int depth = 0)
    {
        if (depth > 64)
            return true;
        if (v.isArray()) {
            for (const QJsonValue& each : v.toArray())
                if (!walk(each, depth + 1))
                    return false;
            return true;
        }
        if (!v.isObject())
            return true;
        QJsonObject o = v.toObject();
        const QString id = o.value(QLatin1StringView("@id")).toString();
        if (o.size() == 1 && !id.isEmpty()) {
            if (followed_.contains(id)) // each reference once: they may run in a circle
                return true;
            followed_.insert(id);
            o = ids_.value(id);
        }
        if (isType(o, "Recipe")) {
            if (!id.isEmpty() && seen_.contains(id))
                return true;
            seen_.insert(id);
            return recipe_(o);
        }
        for (const char* key : {"@graph", "mainEntity", "itemListElement", "item", "hasPart"})
            if (!walk(members(o.value(QLatin1StringView(key))), depth + 1))
                return false;
        return true;
    }

private:
    const std::function<bool(const QJsonObject&)>& recipe_;
    QHash<QString, QJsonObject> ids_;
    QSet<QString> seen_;
    QSet<QString> followed_;
};

} // namespace

bool forEachJsonLdRecipe(const QJsonValue& document, const std::function<bool(const QJsonObject&)>& recipe)
{
    RecipeWalk walk(recipe);
    walk.index(document);
    return walk.walk(document);
}

namespace {

bool isEmptyRecipe(const RecipeValues& r)
{
    return !r[Field::RecipeName] && !r[Field::Ingredients] && !r[Field::Instructions];
}

bool parseAndCollectValue(const QJsonValue& value, std::int64_t line, const ReadEvents& events)
{
    return forEachJsonLdRecipe(value, [&](const QJsonObject& o) {
        RecipeValues r = recipeFromJsonLd(o);
        if (isEmptyRecipe(r)) {
            events.problem(line, QStringLiteral("the recipe has no name and no text"));
            return true;
        }
        return events.recipe(std::move(r), line);
    });
}

bool parseAndCollect(const QByteArray& json, std::int64_t line, const ReadEvents& events)
{
    const LenientJson read = readLenientJson(json);
    if (!read.error.isEmpty()) {
        events.problem(line, QStringLiteral("the text is not valid JSON (%1)").arg(read.error));
        return true;
    }
    return parseAndCollectValue(read.value, line, events);
}

QByteArray readWhole(QIODevice& in)
{
    if (in.size() > MaxWholeFile)
        throw ReadError(QStringLiteral("the file is larger than %1 MB and not a list of recipes")
                            .arg(MaxWholeFile / (1024 * 1024)));
    return in.readAll();
}

// Splits a JSON array into its elements as the bytes come, so that a big file is never held
// whole, and hands each to parseAndCollect().
class ArrayElements
{
public:
    explicit ArrayElements(const ReadEvents& events) : events_(events) {}

    // False when the events stopped the reading.
    bool scan(const QByteArray& chunk)
    {
        segment_ = depth_ >= 1 && !element_.isEmpty() ? 0 : -1;
        for (qsizetype i = 0; i < chunk.size() && !closed_; ++i) {
            const char c = chunk[i];
            if (c == '\n')
                ++line_;
            if (inString_) {
                if (escape_)
                    escape_ = false;
                else if (c == '\\')
                    escape_ = true;
                else if (c == '"')
                    inString_ = false;
            } else if (depth_ == 0) {
                if (c == '[')
                    depth_ = 1;
            } else if (!structural(chunk, i, c)) {
                return false;
            }
        }
        if (!closed_)
            keep(chunk, chunk.size());
        if (element_.size() > MaxWholeFile) {
            element_.clear();
            tooLong_ = true;
        }
        return true;
    }

    bool closed() const { return closed_; }

    void end()
    {
        if (!closed_ && (!element_.trimmed().isEmpty() || tooLong_))
            events_.problem(elementLine_, QStringLiteral("the list of recipes is cut short"));
    }

private:
    // A byte outside strings inside the array; false when the events stopped the reading.
    bool structural(const QByteArray& chunk, qsizetype i, char c)
    {
        const bool blank = c == ' ' || c == '\n' || c == '\r' || c == '\t';
        if (depth_ == 1 && segment_ < 0 && element_.isEmpty() && !blank && c != ',' && c != ']') {
            segment_ = i;
            elementLine_ = line_;
        }
        if (c == '"') {
            inString_ = true;
        } else if (c == '{' || c == '[') {
            open_.push_back(c);
            depth_ = 1 + int(open_.size());
        } else if ((c == '}' || c == ']') && depth_ > 1) {
            // A closer that does not match closes up to its opener, so that one broken element
            // does not swallow the ones after it.
            const auto at = open_.find_last_of(c == '}' ? '{' : '[');
            open_.resize(at == std::string::npos ? open_.size() - 1 : at);
            depth_ = 1 + int(open_.size());
        } else if (depth_ == 1 && (c == ',' || c == ']')) {
            keep(chunk, i);
            if (!finishElement())
                return false;
            if (c == ']') {
                closed_ = true;
                depth_ = 0;
            }
        }
        return true;
    }

    void keep(const QByteArray& chunk, qsizetype end)
    {
        if (segment_ >= 0 && !tooLong_)
            element_.append(chunk.constData() + segment_, end - segment_);
        segment_ = -1;
    }

    bool finishElement()
    {
        bool go = true;
        if (tooLong_)
            events_.problem(
                elementLine_,
                QStringLiteral("the recipe is longer than %1 MB").arg(MaxWholeFile / (1024 * 1024)));
        else if (!element_.trimmed().isEmpty())
            go = parseAndCollect(element_, elementLine_, events_);
        element_.clear();
        tooLong_ = false;
        return go;
    }

    const ReadEvents& events_;
    std::int64_t line_ = 1, elementLine_ = 1;
    int depth_ = 0;
    std::string open_; // openers inside the current element
    bool inString_ = false, escape_ = false, closed_ = false, tooLong_ = false;
    QByteArray element_;
    qsizetype segment_ = -1; // where the current element starts in the chunk
};

void readArray(QIODevice& in, const ReadEvents& events)
{
    ArrayElements elements(events);
    while (!in.atEnd() && !elements.closed()) {
        if (!elements.scan(in.read(1 << 20)))
            return;
        if (events.progress)
            events.progress(in.pos());
    }
    elements.end();
}

} // namespace

void readJson(QIODevice& in, const ReadEvents& events)
{
    char first = 0;
    while (in.peek(&first, 1) == 1) {
        if (first == ' ' || first == '\n' || first == '\r' || first == '\t') {
            in.read(&first, 1);
        } else if (static_cast<unsigned char>(first) == 0xEF) { // byte order mark
            char bom[3];
            in.read(bom, 3);
        } else {
            break;
        }
    }
    if (first == '[') {
        readArray(in, events);
        return;
    }
    const LenientJson read = readLenientJson(readWhole(in));
    if (!read.error.isEmpty())
        throw ReadError(QStringLiteral("the text is not valid JSON (%1)").arg(read.error));
    parseAndCollectValue(read.value, 1, events);
    if (events.progress)
        events.progress(in.pos());
}

} // namespace pantrio::exchange
