#include "RecipeExport.h"

#include "CookbookWriter.h"
#include "RecipeFormats.h"
#include "RecipeImport.h"

namespace pantrio::exchange {

namespace {

// Each chosen recipe, in the chosen order; `row` returns false to stop.
void readChosen(RecipeRows& rows, const ExportChoice& choice, const std::function<bool(const RecipeValues&)>& row)
{
    if (!choice.ids) {
        readCollection(rows, row);
        return;
    }
    for (const std::int64_t id : *choice.ids)
        if (const auto values = rows.fetch(id); values && !row(*values))
            return;
}

// Contents first: the recipes go by once for their names before they are written.
int writeCookbook(RecipeRows& rows, QIODevice& out, const ExportChoice& choice,
                  const std::function<bool(int written)>& progress)
{
    CookbookWriter cookbook(out, choice.title);
    bool stopped = false;
    int names = 0;
    readChosen(rows, choice, [&](const RecipeValues& r) {
        cookbook.addContentsEntry(r[Field::RecipeName]);
        stopped = ++names % 4096 == 0 && !progress(0);
        return !stopped;
    });
    int count = 0;
    if (!stopped)
        readChosen(rows, choice, [&](const RecipeValues& r) {
            cookbook.addRecipe(r);
            return progress(++count);
        });
    cookbook.finish();
    return count;
}

} // namespace

int exportRecipes(RecipeRows& rows, QIODevice& out, const ExportChoice& choice,
                  const std::function<bool(int written)>& progress)
{
    if (choice.format == ExportFormat::Html)
        return writeCookbook(rows, out, choice, progress);
    int count = 0;
    if (choice.format == ExportFormat::Json)
        beginJson(out);
    readChosen(rows, choice, [&](const RecipeValues& r) {
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
