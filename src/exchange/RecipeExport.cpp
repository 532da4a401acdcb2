#include "RecipeExport.h"

#include "CookbookWriter.h"
#include "Handoff.h"
#include "RecipeFormats.h"
#include "RecipeImport.h"

#include <QBuffer>
#include <QScopeGuard>
#include <thread>

namespace pantrio::exchange {

namespace {

// Each chosen recipe, in the chosen order; `row` returns false to stop.
void readChosen(RecipeRows& rows, const ExportChoice& choice,
                const std::function<bool(const RecipeValues&)>& row)
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

// Recipes written out as the file takes them, with how many they are.
struct Written
{
    QByteArray bytes;
    int count = 0;
};

// Writes `batches` of recipes into bytes for the file, in their order, until there are no more.
void writeBatches(ExportFormat format, Handoff<std::vector<RecipeValues>>& batches, Handoff<Written>& written)
{
    std::exception_ptr error;
    try {
        bool first = true;
        while (auto batch = batches.take()) {
            Written w;
            QBuffer buffer(&w.bytes);
            buffer.open(QIODevice::WriteOnly);
            for (const RecipeValues& r : *batch) {
                if (format == ExportFormat::Json)
                    writeJson(buffer, r, std::exchange(first, false));
                else
                    writeMealMaster(buffer, r);
            }
            w.count = int(batch->size());
            written.put(std::move(w));
        }
    } catch (...) {
        error = std::current_exception();
        batches.stop();
    }
    written.finish(error);
}

} // namespace

int exportRecipes(RecipeRows& rows, QIODevice& out, const ExportChoice& choice,
                  const std::function<bool(int written)>& progress)
{
    if (choice.format == ExportFormat::Html)
        return writeCookbook(rows, out, choice, progress);
    // The recipes are written out on a thread of their own while the next ones are read: each
    // takes about as long.
    constexpr std::size_t BatchSize = 64, MostBatches = 8;
    Handoff<std::vector<RecipeValues>> batches(MostBatches);
    Handoff<Written> written(0); // never more than the batches given
    std::thread writer([&] { writeBatches(choice.format, batches, written); });
    const auto joined = qScopeGuard([&] {
        batches.stop();
        written.stop();
        writer.join();
    });
    if (choice.format == ExportFormat::Json)
        beginJson(out);
    int count = 0;
    bool stopped = false;
    const auto putOut = [&](Written&& w) {
        if (stopped)
            return;
        out.write(w.bytes);
        count += w.count;
        stopped = !progress(count);
    };
    std::vector<RecipeValues> batch;
    readChosen(rows, choice, [&](const RecipeValues& r) {
        batch.push_back(r);
        if (batch.size() == BatchSize) {
            batches.put(std::exchange(batch, {}));
            while (auto w = written.take(false))
                putOut(std::move(*w));
        }
        return !stopped && !batches.stopped(); // the writer stops it when it fails
    });
    if (stopped) {
        batches.stop();
    } else {
        if (!batch.empty())
            batches.put(std::move(batch));
        batches.finish();
    }
    while (auto w = written.take())
        putOut(std::move(*w));
    if (const auto error = written.error())
        std::rethrow_exception(error);
    if (choice.format == ExportFormat::Json)
        endJson(out);
    return count;
}

} // namespace pantrio::exchange
