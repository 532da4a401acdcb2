#include "RecipeList.h"

#include "store/StoreError.h"
#include "store/TextFolding.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <malloc.h>

namespace pantrio {

namespace {

using Clock = std::chrono::steady_clock;
using FoldedTimes = std::vector<std::pair<std::int64_t, std::string>>;

constexpr int FilterStepRows = 256;
constexpr auto ShowEvery = std::chrono::milliseconds(40);
constexpr std::size_t TimesKept = 20000;
// Rows shown from the file's order of names while the whole list is read: a tall screenful.
constexpr int PreviewRows = 100;

// The sort key: the column folded loosely, then the name, so that equal categories or times
// list their recipes by name. Rows with equal keys stay in id order.
void appendKey(std::string& out, RecipeList::Column column, std::string_view name, std::string_view category,
               std::string_view foldedTime)
{
    if (column == RecipeList::Column::Category) {
        appendFoldedLoosely(out, category);
        out += '\0';
    } else if (column == RecipeList::Column::Time) {
        out += foldedTime;
        out += '\0';
    }
    appendFoldedLoosely(out, name);
}

// The key's first bytes as numbers that compare as the bytes do.
constexpr std::size_t PrefixWords = 3;
using Prefix = std::array<std::uint64_t, PrefixWords>;

Prefix prefixOf(std::string_view key)
{
    Prefix p{};
    for (std::size_t i = 0; i < PrefixWords * 8; ++i)
        p[i / 8] = p[i / 8] << 8 | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0u);
    return p;
}

// Sorting a million rows by their whole keys is mostly comparing their first bytes: those
// are sorted as numbers, side by side with the row, and only rows whose first bytes tie
// are then compared whole.
std::vector<std::uint32_t> sortedOrder(const RecipeListRows& rows, RecipeList::Column column,
                                       const FoldedTimes& times)
{
    struct Keyed
    {
        Prefix prefix;
        std::uint32_t row;
    };
    std::string keys;
    std::vector<std::uint64_t> starts;
    std::vector<Keyed> keyed;
    starts.reserve(rows.size() + 1);
    keyed.reserve(rows.size());
    std::size_t t = 0;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        std::string_view time;
        while (t < times.size() && times[t].first < rows.id(r))
            ++t;
        if (t < times.size() && times[t].first == rows.id(r))
            time = times[t].second;
        starts.push_back(keys.size());
        appendKey(keys, column, rows.name(r), rows.category(r), time);
        keyed.push_back({prefixOf(std::string_view(keys).substr(starts.back())), std::uint32_t(r)});
    }
    starts.push_back(keys.size());
    std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        return a.prefix != b.prefix ? a.prefix < b.prefix : a.row < b.row;
    });
    const auto key = [&](std::uint32_t r) {
        return std::string_view(keys).substr(starts[r], starts[r + 1] - starts[r]);
    };
    for (auto run = keyed.begin(); run != keyed.end();) {
        const auto end =
            std::find_if(run, keyed.end(), [&](const Keyed& k) { return k.prefix != run->prefix; });
        if (end - run > 1)
            std::sort(run, end, [&](const Keyed& a, const Keyed& b) {
                const int c = key(a.row).compare(key(b.row));
                return c != 0 ? c < 0 : a.row < b.row;
            });
        run = end;
    }
    std::vector<std::uint32_t> order(keyed.size());
    for (std::size_t i = 0; i < keyed.size(); ++i)
        order[i] = keyed[i].row;
    return order;
}

} // namespace

RecipeList::RecipeList(RecipeListSource source, QObject* parent) : QObject(parent), source_(source)
{
    showTimer_.setSingleShot(true);
    showTimer_.setInterval(int(ShowEvery.count()));
    connect(&showTimer_, &QTimer::timeout, this, &RecipeList::rebuild);
}

RecipeList::~RecipeList()
{
    stop();
}

void RecipeList::stop()
{
    stopped_ = true;
    stopFilter();
    if (loader_.joinable()) {
        loader_.request_stop();
        loader_.join();
    }
}

void RecipeList::resume()
{
    stopped_ = false;
    loaded_ = false;
    startLoad();
    if (!filter_.isEmpty())
        startFilter();
}

void RecipeList::load()
{
    if (!loaded_ && !loader_.joinable())
        startLoad();
}

void RecipeList::startLoad()
{
    if (loader_.joinable()) {
        loader_.request_stop();
        loader_.join();
    }
    if (stopped_)
        return;
    const std::uint64_t generation = ++loadGeneration_;
    loader_ =
        std::jthread([this, generation, column = column_, source = source_](std::stop_token stop) mutable {
            auto rows = std::make_shared<RecipeListRows>();
            auto order = std::make_shared<std::vector<std::uint32_t>>();
            QString error;
            try {
                FoldedTimes times;
                if (column == Column::Name)
                    if (auto first = source.readFirst(PreviewRows, stop))
                        QMetaObject::invokeMethod(
                            this,
                            [this, generation, first = std::move(*first)]() mutable {
                                previewed(generation, std::move(first));
                            },
                            Qt::QueuedConnection);
                if (!source.readAll(*rows, stop) ||
                    (column == Column::Time && !source.readFoldedTimes(times, stop)))
                    return;
                *order = sortedOrder(*rows, column, times);
                // The sort's keys are gone; their pages go back to the system.
                malloc_trim(0);
            } catch (const StoreError& e) {
                error = e.message();
            }
            if (stop.stop_requested())
                return;
            QMetaObject::invokeMethod(
                this, [=, this] { loaded(generation, rows, order, error); }, Qt::QueuedConnection);
        });
}

void RecipeList::previewed(std::uint64_t generation, std::vector<NameOrder::Row> rows)
{
    if (generation != loadGeneration_ || loaded_)
        return;
    preview_ = std::move(rows);
    if (previewing())
        emit shownChanged();
}

void RecipeList::loaded(std::uint64_t generation, std::shared_ptr<RecipeListRows> rows,
                        std::shared_ptr<std::vector<std::uint32_t>> order, const QString& error)
{
    if (generation != loadGeneration_)
        return;
    if (loader_.joinable())
        loader_.join();
    error_ = error;
    rows_ = std::move(*rows);
    order_ = std::move(*order);
    loaded_ = error.isEmpty();
    preview_.clear();
    times_.clear();
    matchedRows_.assign(rows_.size(), false);
    applied_ = 0;
    matchRow_ = 0;
    rebuild();
}

void RecipeList::stopFilter()
{
    ++filterGeneration_;
    if (filterer_.joinable()) {
        filterer_.request_stop();
        filterer_.join();
    }
    showTimer_.stop();
}

void RecipeList::setFilter(const QString& text)
{
    if (text == filter_)
        return;
    filter_ = text;
    startFilter();
}

void RecipeList::startFilter()
{
    stopFilter();
    matchedIds_.clear();
    matchedRows_.assign(rows_.size(), false);
    applied_ = 0;
    matchRow_ = 0;
    shownSince_ = false;
    filtering_ = !filter_.isEmpty() && !stopped_;
    if (!filtering_) {
        rebuild();
        return;
    }
    const std::uint64_t generation = filterGeneration_;
    filterer_ =
        std::jthread([this, generation, text = filter_, source = source_](std::stop_token stop) mutable {
            std::vector<std::int64_t> found;
            auto post = [&](bool done, const QString& error) {
                QMetaObject::invokeMethod(
                    this,
                    [this, generation, ids = found, done, error] { filtered(generation, ids, done, error); },
                    Qt::QueuedConnection);
                found.clear();
            };
            try {
                RecipeListSource::Filter filter(source, words_, text);
                bool first = true;
                auto last = Clock::now();
                while (!stop.stop_requested()) {
                    const bool more = filter.next(found, FilterStepRows, stop);
                    if (!more)
                        return post(true, {});
                    // The first matches at once; then a step at a time, so that the list is not
                    // redrawn for every few.
                    if (!found.empty() && (first || Clock::now() - last >= ShowEvery)) {
                        post(false, {});
                        first = false;
                        last = Clock::now();
                    }
                }
            } catch (const StoreError& e) {
                post(true, e.message());
            }
        });
}

void RecipeList::filtered(std::uint64_t generation, std::vector<std::int64_t> ids, bool done,
                          const QString& error)
{
    if (generation != filterGeneration_)
        return;
    matchedIds_.insert(matchedIds_.end(), ids.begin(), ids.end());
    if (!error.isEmpty())
        error_ = error;
    if (done) {
        filtering_ = false;
        filterer_.join();
    }
    // The first matches and the end at once; what comes between, a step at a time.
    if (!shownSince_ || done) {
        shownSince_ = true;
        rebuild();
    } else if (!showTimer_.isActive()) {
        showTimer_.start();
    }
}

void RecipeList::applyMatches()
{
    // The filter finds recipes in ascending id order, as the rows are kept: one walk along both.
    for (; applied_ < matchedIds_.size(); ++applied_) {
        const std::int64_t id = matchedIds_[applied_];
        if (matchRow_ > 0 && matchRow_ <= rows_.size() && id <= rows_.id(matchRow_ - 1)) {
            if (const auto row = rows_.rowOf(id))
                matchedRows_[*row] = true;
            continue;
        }
        while (matchRow_ < rows_.size() && rows_.id(matchRow_) < id)
            ++matchRow_;
        if (matchRow_ < rows_.size() && rows_.id(matchRow_) == id)
            matchedRows_[matchRow_++] = true;
    }
}

void RecipeList::rebuild()
{
    showTimer_.stop();
    shown_.clear();
    if (!filter_.isEmpty()) {
        applyMatches();
        for (std::uint32_t row : order_)
            if (matchedRows_[row])
                shown_.push_back(row);
    }
    emit shownChanged();
}

int RecipeList::shownCount() const
{
    if (previewing())
        return int(preview_.size());
    return int(filter_.isEmpty() ? order_.size() : shown_.size());
}

std::int64_t RecipeList::idAt(int row) const
{
    return previewing() ? preview_[size_t(row)].id : rows_.id(shownAt(row));
}

QString RecipeList::text(int row, Column column)
{
    const auto fromUtf8 = [](std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); };
    if (column != Column::Time) {
        if (previewing()) {
            const NameOrder::Row& r = preview_[size_t(row)];
            return fromUtf8(column == Column::Name ? r.name : r.category);
        }
        const std::uint32_t r = shownAt(row);
        return fromUtf8(column == Column::Name ? rows_.name(r) : rows_.category(r));
    }
    if (previewing())
        return fromUtf8(preview_[size_t(row)].time);
    const std::int64_t id = idAt(row);
    if (const auto it = times_.find(id); it != times_.end())
        return it->second;
    if (stopped_)
        return QString();
    // The rows about it at once: a view asks for a screenful.
    if (times_.size() > TimesKept)
        times_.clear();
    std::vector<std::int64_t> ids;
    for (int k = std::max(0, row - 16); k < std::min(shownCount(), row + 64); ++k)
        if (!times_.count(idAt(k)))
            ids.push_back(idAt(k));
    try {
        for (auto& [readId, time] : source_.readTimes(ids))
            times_[readId] = std::move(time);
    } catch (const StoreError&) {
        return QString(); // shown empty; the recipe window tells what is wrong with the file
    }
    return times_[id];
}

int RecipeList::shownRowOf(std::int64_t id) const
{
    if (previewing()) {
        const auto it =
            std::find_if(preview_.begin(), preview_.end(), [&](const auto& r) { return r.id == id; });
        return it == preview_.end() ? -1 : int(it - preview_.begin());
    }
    const auto row = rows_.rowOf(id);
    if (!row)
        return -1;
    const std::vector<std::uint32_t>& shown = filter_.isEmpty() ? order_ : shown_;
    const auto it = std::find(shown.begin(), shown.end(), std::uint32_t(*row));
    return it == shown.end() ? -1 : int(it - shown.begin());
}

void RecipeList::sortBy(Column column)
{
    if (column == column_)
        return;
    column_ = column;
    if (loaded_ || loader_.joinable())
        startLoad(); // the rows are read again with the keys; the list stays as it is meanwhile
}

std::string RecipeList::keyOf(std::uint32_t row)
{
    std::string time;
    if (column_ == Column::Time)
        time = foldLoosely(source_.readTimes({rows_.id(row)}).front().second.toStdString());
    std::string key;
    appendKey(key, column_, rows_.name(row), rows_.category(row), time);
    return key;
}

void RecipeList::place(std::uint32_t row)
{
    const std::string key = keyOf(row);
    const auto at = std::partition_point(order_.begin(), order_.end(), [&](std::uint32_t other) {
        const int c = keyOf(other).compare(key);
        return c != 0 ? c < 0 : other < row;
    });
    order_.insert(at, row);
}

void RecipeList::unplace(std::uint32_t row)
{
    const auto it = std::find(order_.begin(), order_.end(), row);
    if (it != order_.end())
        order_.erase(it);
}

void RecipeList::recheck(std::int64_t id, std::uint32_t row)
{
    const bool match = source_.matches(id, SearchCondition::anyContainsLoosely(allFields, filter_));
    const auto it = std::lower_bound(matchedIds_.begin(), matchedIds_.end(), id);
    const bool was = it != matchedIds_.end() && *it == id;
    if (match && !was)
        matchedIds_.insert(it, id);
    else if (!match && was)
        matchedIds_.erase(it);
    applied_ = matchedIds_.size();
    matchedRows_.resize(rows_.size());
    matchedRows_[row] = match;
}

void RecipeList::follow(const CollectionChange& change)
{
    if (stopped_)
        return;
    using Kind = CollectionChange::Kind;
    // A load under way (a sort) may have read the recipe before the change: it reads again too.
    if (!loaded_ || loader_.joinable() || change.kind == Kind::Imported || change.kind == Kind::Reloaded ||
        change.ids.size() != 1) {
        // Read everything again; the filter with it.
        const bool previewed = previewing();
        loaded_ = false;
        preview_.clear(); // it may show the recipe as it was
        startLoad();
        if (previewed)
            emit shownChanged();
        if (!filter_.isEmpty())
            startFilter();
        return;
    }
    const std::int64_t id = change.ids.front();
    times_.erase(id);
    try {
        auto row = rows_.rowOf(id);
        if (change.kind == Kind::Deleted) {
            if (row) {
                unplace(std::uint32_t(*row));
                if (*row < matchedRows_.size())
                    matchedRows_[*row] = false;
            }
        } else if (const auto names = source_.readNames(id)) {
            const std::string name = names->first.toStdString();
            const std::string category = names->second.toStdString();
            if (row) {
                unplace(std::uint32_t(*row));
                rows_.setTexts(*row, name, category);
            } else {
                rows_.append(id, name, category);
                row = rows_.size() - 1;
            }
            place(std::uint32_t(*row));
            if (!filter_.isEmpty() && !filtering_)
                recheck(id, std::uint32_t(*row));
        }
    } catch (const StoreError& e) {
        error_ = e.message();
    }
    matchedRows_.resize(rows_.size());
    if (filtering_)
        startFilter(); // it may have read the recipe before the change
    else
        rebuild();
}

} // namespace pantrio
