// Web pages, saved or fetched: the schema.org Recipe they describe in JSON-LD, else in
// microdata.

#include "CookbookWriter.h"
#include "HtmlPage.h"
#include "JsonLdRecipes.h"
#include "LenientJson.h"
#include "RecipeFormats.h"
#include "RecipeText.h"

#include <QUrl>

namespace pantrio::exchange {

namespace {

struct Found
{
    RecipeValues values;
    std::int64_t line;
};

struct BrokenScript
{
    std::int64_t line;
    QString error;
    bool aboutRecipes;
};

bool hasText(const FieldValue& v)
{
    return v && !v->trimmed().isEmpty();
}

// A page often carries a stub beside its recipe (a name and a picture for a card); only a
// recipe with ingredients or instructions is one to keep.
bool isFull(const Found& f)
{
    return hasText(f.values[Field::Ingredients]) || hasText(f.values[Field::Instructions]);
}

// Where the recipes came from when they do not say: the page's own address for itself, else
// the address it was fetched from.
QString pageAddress(const PageContent& page, const PageOrigin& origin)
{
    const QUrl base(origin.address);
    const QUrl canonical = base.resolved(QUrl(page.canonicalAddress));
    if (!page.canonicalAddress.isEmpty() && canonical.isValid() &&
        (canonical.scheme() == u"http" || canonical.scheme() == u"https"))
        return canonical.toString();
    return origin.address;
}

// A recipe's own address as the page wrote it (`/recipes/soup`), made whole.
QJsonObject withAbsoluteUrl(QJsonObject recipe, const QString& pageAddress)
{
    const QJsonValue url = recipe.value(QLatin1StringView("url"));
    if (url.isString() && !pageAddress.isEmpty() && QUrl(url.toString()).isRelative())
        recipe.insert(QStringLiteral("url"), QUrl(pageAddress).resolved(QUrl(url.toString())).toString());
    return recipe;
}

void addSource(RecipeValues& r, const QString& address)
{
    if (address.isEmpty())
        return;
    FieldValue& notes = r[Field::Notes];
    const QString line = QStringLiteral("Source: ") + address;
    if (!notes || notes->isEmpty())
        notes = line;
    else if (!notes->startsWith(QLatin1StringView("Source: ")) &&
             !notes->contains(QLatin1StringView("\nSource: ")))
        notes = *notes + u'\n' + line;
}

// A cookbook Pantrio wrote holds the collection as it was: every recipe comes back, twins and
// recipes without ingredients or instructions too.
bool isOwnCookbook(const PageContent& page)
{
    return page.generator.startsWith(CookbookWriter::generatorName() + u' ');
}

QList<Found> keptRecipes(QList<Found> found, const QList<BrokenScript>& broken, bool everyOne)
{
    if (everyOne && !found.isEmpty())
        return found;
    QList<Found> kept;
    for (Found& f : found) {
        if (!isFull(f))
            continue;
        const bool twin = std::any_of(kept.begin(), kept.end(),
                                      [&](const Found& k) { return sameRecipe(k.values, f.values); });
        if (!twin)
            kept.append(std::move(f));
    }
    if (!kept.isEmpty())
        return kept;
    if (!found.isEmpty())
        throw ReadError(QStringLiteral("the page's recipe has neither ingredients nor instructions"));
    for (const BrokenScript& b : broken)
        if (b.aboutRecipes)
            throw ReadError(QStringLiteral("the page's recipe data is not valid JSON (%1)").arg(b.error));
    throw ReadError(QStringLiteral("the page holds no recipe Pantrio can read"));
}

} // namespace

void readHtml(QIODevice& in, const ReadEvents& events)
{
    readWebPage(in, events, {});
}

void readWebPage(QIODevice& in, const ReadEvents& events, const PageOrigin& origin)
{
    if (in.size() > MaxWholeFile)
        throw ReadError(QStringLiteral("the page is larger than %1 MB").arg(MaxWholeFile / (1024 * 1024)));
    QString text = decodePage(in.readAll(), origin.charset);
    text.remove(QChar(0)); // never meant, and the parser would stop at it
    const PageContent page = readPageContent(text);
    const QString address = pageAddress(page, origin);
    const auto read = [&address](const QJsonObject& o) {
        return recipeFromJsonLd(withAbsoluteUrl(o, address));
    };

    QList<Found> found;
    QList<BrokenScript> broken;
    for (const PageContent::Script& script : page.jsonLd) {
        const LenientJson json = readLenientJson(script.json);
        if (!json.error.isEmpty()) {
            broken.append({script.line, json.error, script.json.toLower().contains("recipe")});
            continue;
        }
        forEachJsonLdRecipe(json.value, [&](const QJsonObject& o) {
            found.append({read(o), script.line});
            return true;
        });
    }
    // Microdata only when the JSON-LD, which pages keep more complete, has no recipe.
    if (std::none_of(found.begin(), found.end(), isFull))
        for (const PageContent::Item& item : page.microdata)
            found.append({read(item.recipe), item.line});

    const QList<Found> kept = keptRecipes(found, broken, isOwnCookbook(page));
    for (const BrokenScript& b : broken)
        if (b.aboutRecipes)
            events.problem(b.line, QStringLiteral("recipe data is not valid JSON (%1)").arg(b.error));
    for (Found f : kept) {
        addSource(f.values, address);
        if (!events.recipe(std::move(f.values), f.line))
            return;
    }
    if (events.progress)
        events.progress(in.pos());
}

} // namespace pantrio::exchange
