#include "RecipeExport.h"

#include "CookbookWriter.h"
#include "store/Handoff.h"
#include "RecipeFormats.h"
#include "RecipeImport.h"

#include <deque>
#include <optional>
#include <QBuffer>
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

// Recipes to write out and, once written, the file's bytes for them. Both are made and let go
// on the reading thread: memory freed on another thread than the one that took it waits for
// that thread's allocator, which is busy all the time here.
struct Batch
{
    std::vector<RecipeValues> recipes;
    qsizetype textSize = 0;
    bool first = false; // the first of the file
    QByteArray bytes;
    bool written = false;
};

void write(ExportFormat format, Batch& batch)
{
    QBuffer buffer(&batch.bytes);
    buffer.open(QIODevice::WriteOnly);
    for (std::size_t i = 0; i < batch.recipes.size(); ++i) {
        if (format == ExportFormat::Json)
            writeJson(buffer, batch.recipes[i], batch.first && i == 0);
        else
            writeMealMaster(buffer, batch.recipes[i]);
    }
    batch.written = true;
}

// Writes each batch, in their order, until there are no more.
void writeBatches(ExportFormat format, Handoff<Batch>& batches, Handoff<Batch>& written)
{
    std::exception_ptr error;
    try {
        while (auto batch = batches.take()) {
            write(format, *batch);
            written.put(std::move(*batch));
        }
    } catch (...) {
        error = std::current_exception();
        batches.stop();
    }
    written.finish(error);
}

// Writing out takes longer than reading: a second thread writes batches, and this one writes
// those it would otherwise wait to give. The file takes them in the order they were read.
class Relay
{
public:
    Relay(ExportFormat format, QIODevice& out, const std::function<bool(int)>& progress)
        : format_(format), out_(out), progress_(progress),
          writer_([this] { writeBatches(format_, batches_, written_); })
    {}

    ~Relay()
    {
        batches_.stop();
        written_.stop();
        writer_.join();
    }

    // False once stopped, by the progress or the writer's failure.
    bool add(const RecipeValues& r)
    {
        batch_.recipes.push_back(r);
        for (Field f : allFields)
            batch_.textSize += r[f] ? r[f]->size() : 0;
        if (batch_.recipes.size() == BatchSize)
            give();
        putOut(false);
        return !stopped_ && !batches_.stopped();
    }

    // Everything given written to the file; throws what stopped the writer.
    int finish()
    {
        if (!stopped_ && !batch_.recipes.empty())
            give();
        batches_.finish();
        putOut(true);
        if (const auto error = written_.error())
            std::rethrow_exception(error);
        return count_;
    }

private:
    static constexpr std::size_t BatchSize = 64, MostBatches = 4;

    void give()
    {
        Batch b = std::exchange(batch_, {});
        b.first = given_++ == 0;
        // Room for the text and what the format adds, so that the writer never grows it.
        b.bytes.reserve(b.textSize * 3 / 2 + qsizetype(b.recipes.size()) * 1024);
        if (batches_.tryPut(b)) {
            inOrder_.emplace_back(); // the writer's: the next it hands back
        } else {
            write(format_, b);
            inOrder_.push_back(std::move(b));
        }
    }

    void putOut(bool wait)
    {
        while (!inOrder_.empty()) {
            std::optional<Batch>& next = inOrder_.front();
            if (!next) {
                next = written_.take(wait);
                if (!next)
                    return;
            }
            if (!stopped_) {
                out_.write(next->bytes);
                count_ += int(next->recipes.size());
                stopped_ = !progress_(count_);
            }
            inOrder_.pop_front();
        }
    }

    const ExportFormat format_;
    QIODevice& out_;
    const std::function<bool(int)>& progress_;
    Handoff<Batch> batches_{MostBatches};
    Handoff<Batch> written_{0}; // never more than the batches given
    std::thread writer_;
    Batch batch_;
    std::deque<std::optional<Batch>> inOrder_; // none: the writer's
    int given_ = 0, count_ = 0;
    bool stopped_ = false;
};

} // namespace

int exportRecipes(RecipeRows& rows, QIODevice& out, const ExportChoice& choice,
                  const std::function<bool(int written)>& progress)
{
    if (choice.format == ExportFormat::Html)
        return writeCookbook(rows, out, choice, progress);
    if (choice.format == ExportFormat::Json)
        beginJson(out);
    int count = 0;
    {
        Relay relay(choice.format, out, progress);
        readChosen(rows, choice, [&](const RecipeValues& r) { return relay.add(r); });
        count = relay.finish();
    }
    if (choice.format == ExportFormat::Json)
        endJson(out);
    return count;
}

} // namespace pantrio::exchange
