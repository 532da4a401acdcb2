#include "RecipeExport.h"

#include "CookbookWriter.h"
#include "RecipeFormats.h"
#include "RecipeImport.h"
#include "store/RecipeTable.h"

namespace pantrio::exchange {

namespace {

const QString ExportAction = QStringLiteral("read the recipe file");

// The values of `fields` of each chosen recipe, in the chosen order; `row` returns false to stop.
void readChosen(sqlite::Database& db, const ExportChoice& choice, std::span<const Field> fields,
                const std::function<bool(const RecipeValues&)>& row)
{
    const QByteArray columns = RecipeTable::columnList(fields);
    const auto values = [&](const sqlite::Statement& s) {
        RecipeValues r;
        for (std::size_t i = 0; i < fields.size(); ++i)
            r[fields[i]] = s.text(int(i));
        return r;
    };
    if (!choice.ids) {
        const QByteArray sql = "SELECT " + columns + " FROM Recipes ORDER BY rowid";
        sqlite::Statement all(db, sql.constData(), ExportAction);
        while (all.step())
            if (!row(values(all)))
                return;
        return;
    }
    const QByteArray sql = "SELECT " + columns + " FROM Recipes WHERE rowid = ?";
    sqlite::Statement one(db, sql.constData(), ExportAction);
    for (const std::int64_t id : *choice.ids) {
        one.reset();
        one.bind(1, id);
        if (one.step() && !row(values(one)))
            return;
    }
}

// Contents first: the names go by once before the recipes do.
int writeCookbook(sqlite::Database& db, QIODevice& out, const ExportChoice& choice,
                  const std::function<bool(int written)>& progress)
{
    CookbookWriter cookbook(out, choice.title);
    bool stopped = false;
    int names = 0;
    const Field name[] = {Field::RecipeName};
    readChosen(db, choice, name, [&](const RecipeValues& r) {
        cookbook.addContentsEntry(r[Field::RecipeName]);
        stopped = ++names % 4096 == 0 && !progress(0);
        return !stopped;
    });
    int count = 0;
    if (!stopped)
        readChosen(db, choice, allFields, [&](const RecipeValues& r) {
            cookbook.addRecipe(r);
            return progress(++count);
        });
    cookbook.finish();
    return count;
}

} // namespace

int exportRecipes(sqlite::Database& db, QIODevice& out, const ExportChoice& choice,
                  const std::function<bool(int written)>& progress)
{
    if (choice.format == ExportFormat::Html)
        return writeCookbook(db, out, choice, progress);
    int count = 0;
    if (choice.format == ExportFormat::Json)
        beginJson(out);
    readChosen(db, choice, allFields, [&](const RecipeValues& r) {
        if (choice.format == ExportFormat::Json)
            writeJson(out, r, count == 0);
        else
            writeMealMaster(out, r);
        return progress(++count);
    });
    if (choice.format == ExportFormat::Json)
        endJson(out);
    return count;
}

} // namespace pantrio::exchange
