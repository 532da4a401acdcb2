#include "RecipeListSource.h"

#include "FindKeyTable.h"
#include "NameOrder.h"
#include "RecipeListReads.h"
#include "RecipeTable.h"
#include "Sqlite.h"
#include "StoreError.h"
#include "TextFolding.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <limits>
#include <sqlite3.h>
#include <thread>

namespace pantrio {

namespace {

const QString ReadAction = QStringLiteral("read the recipe file");
constexpr int BatchRows = 4096;
constexpr std::array<Field, 2> NameColumns = {Field::RecipeName, Field::FoodCategoryID};

std::string_view cut(std::string_view text)
{
    return cutListText(text);
}

std::string_view utf8(const sqlite::Statement& row, int column)
{
    int size = 0;
    const char* data = row.utf8(column, &size);
    return data ? std::string_view(data, std::size_t(size)) : std::string_view();
}

// Holds the connection for a worker's next statement, once no transaction is open on it: a
// change under way may still be rolled back. False when stopped meanwhile.
bool lockCommitted(sqlite::Database& db, sqlite::ConnectionLock& lock, const std::stop_token& stop)
{
    while (!sqlite3_get_autocommit(db.handle())) {
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (stop.stop_requested())
            return false;
        lock.relock();
    }
    return !stop.stop_requested();
}

} // namespace

std::string_view RecipeListRows::name(std::size_t row) const
{
    const Place& p = places_[row];
    return std::string_view(text_).substr(p.at, p.nameSize);
}

std::string_view RecipeListRows::category(std::size_t row) const
{
    const Place& p = places_[row];
    return std::string_view(text_).substr(p.at + p.nameSize, p.categorySize);
}

std::optional<std::size_t> RecipeListRows::rowOf(std::int64_t id) const
{
    const auto it = std::lower_bound(ids_.begin(), ids_.end(), id);
    if (it == ids_.end() || *it != id)
        return std::nullopt;
    return std::size_t(it - ids_.begin());
}

RecipeListRows::Place RecipeListRows::store(std::string_view name, std::string_view category)
{
    name = cut(name);
    category = cut(category);
    if (text_.size() + name.size() + category.size() > std::numeric_limits<std::uint32_t>::max())
        throw StoreError(StoreError::Kind::Other,
                         QStringLiteral("The recipe list cannot hold the names of so many recipes."));
    const Place p{std::uint32_t(text_.size()), std::uint16_t(name.size()), std::uint16_t(category.size())};
    text_.append(name);
    text_.append(category);
    return p;
}

void RecipeListRows::append(std::int64_t id, std::string_view name, std::string_view category)
{
    ids_.push_back(id);
    places_.push_back(store(name, category));
}

void RecipeListRows::setTexts(std::size_t row, std::string_view name, std::string_view category)
{
    places_[row] = store(name, category);
}

bool RecipeListSource::readAll(RecipeListRows& rows, const std::stop_token& stop)
{
    if (reads_)
        return reads_->readAll(rows, stop);
    QByteArray sql;
    {
        sqlite::ConnectionLock lock(*db_);
        if (!lockCommitted(*db_, lock, stop))
            return false;
        const bool keys = FindKeyTable::usable(*db_);
        const QByteArray id = keys ? "id" : "rowid";
        sql = "SELECT " + id + ", " + RecipeTable::columnList(NameColumns) +
              (keys ? " FROM RecipeFindKeys" : " FROM Recipes") + " WHERE " + id + " > ?1 ORDER BY " + id +
              " LIMIT ?2";
    }
    std::int64_t after = std::numeric_limits<std::int64_t>::min();
    for (;;) {
        int count = 0;
        {
            // One statement a batch, finished before the connection is let go.
            sqlite::ConnectionLock lock(*db_);
            if (!lockCommitted(*db_, lock, stop))
                return false;
            sqlite::Statement batch(*db_, sql.constData(), ReadAction);
            batch.bind(1, after);
            batch.bind(2, std::int64_t(BatchRows));
            while (batch.step()) {
                after = batch.int64(0);
                rows.append(after, utf8(batch, 1), utf8(batch, 2));
                ++count;
            }
        }
        if (count < BatchRows)
            return true;
    }
}

std::optional<std::vector<NameOrder::Row>> RecipeListSource::readFirst(int count, const std::stop_token& stop)
{
    if (reads_)
        return std::nullopt; // a server sorts the first screen as fast as the whole list
    sqlite::ConnectionLock lock(*db_);
    if (!lockCommitted(*db_, lock, stop))
        return std::nullopt;
    return NameOrder::first(*db_, count);
}

std::optional<std::pair<QString, QString>> RecipeListSource::readNames(std::int64_t id)
{
    if (reads_)
        return reads_->readNames(id);
    static const QByteArray sql =
        "SELECT " + RecipeTable::columnList(NameColumns) + " FROM Recipes WHERE rowid = ?1";
    sqlite::Statement row(*db_, sql.constData(), ReadAction);
    row.bind(1, id);
    if (!row.step())
        return std::nullopt;
    return std::pair(row.text(0).value_or(QString()), row.text(1).value_or(QString()));
}

std::vector<std::pair<std::int64_t, QString>>
RecipeListSource::readTimes(const std::vector<std::int64_t>& ids)
{
    if (reads_)
        return reads_->readTimes(ids);
    static const QByteArray sql =
        "SELECT " + RecipeTable::quotedColumn(Field::TimeToPrepare) + " FROM Recipes WHERE rowid = ?1";
    std::vector<std::pair<std::int64_t, QString>> out;
    sqlite::ConnectionLock lock(*db_);
    sqlite::Statement row(*db_, sql.constData(), ReadAction);
    for (std::int64_t id : ids) {
        row.reset();
        row.bind(1, id);
        out.emplace_back(id, row.step() ? row.text(0).value_or(QString()) : QString());
    }
    return out;
}

bool RecipeListSource::readFoldedTimes(std::vector<std::pair<std::int64_t, std::string>>& out,
                                       const std::stop_token& stop)
{
    if (reads_)
        return reads_->readFoldedTimes(out, stop);
    static const QByteArray sql = "SELECT rowid, " + RecipeTable::quotedColumn(Field::TimeToPrepare) +
                                  " FROM Recipes WHERE rowid > ?1 ORDER BY rowid LIMIT ?2";
    std::int64_t after = std::numeric_limits<std::int64_t>::min();
    for (;;) {
        int count = 0;
        sqlite::ConnectionLock lock(*db_);
        if (!lockCommitted(*db_, lock, stop))
            return false;
        sqlite::Statement batch(*db_, sql.constData(), ReadAction);
        batch.bind(1, after);
        batch.bind(2, std::int64_t(BatchRows));
        while (batch.step()) {
            after = batch.int64(0);
            out.emplace_back(after, foldLoosely(cut(utf8(batch, 1))));
            ++count;
        }
        if (count < BatchRows)
            return true;
    }
}

bool RecipeListSource::matches(std::int64_t id, const SearchCondition& condition)
{
    if (reads_)
        return reads_->matches(id, condition);
    static const QByteArray sql = "SELECT " + RecipeTable::columnList() + " FROM Recipes WHERE rowid = ?1";
    sqlite::Statement row(*db_, sql.constData(), ReadAction);
    row.bind(1, id);
    if (!row.step())
        return false;
    RecipeValues values;
    for (Field f : allFields)
        values[f] = row.text(int(fieldIndex(f)));
    return condition.matches(values);
}

RecipeListSource::Filter::Filter(RecipeListSource& source, WordIndex& words, const QString& text)
    : source_(source), words_(words), condition_(SearchCondition::anyContainsLoosely(allFields, text)),
      after_(std::numeric_limits<std::int64_t>::min())
{
    if (const auto contained = condition_.terms().front().pattern.containedText())
        folded_ = *contained;
}

bool RecipeListSource::Filter::rowMatches(const sqlite::Statement& row, std::string& folded) const
{
    if (folded_.empty()) {
        RecipeValues values;
        for (Field f : allFields)
            values[f] = row.text(int(fieldIndex(f)) + 1);
        return condition_.matches(values);
    }
    for (Field f : allFields) {
        folded.clear();
        appendFoldedLoosely(folded, utf8(row, int(fieldIndex(f)) + 1));
        if (memmem(folded.data(), folded.size(), folded_.data(), folded_.size()))
            return true;
    }
    return false;
}

bool RecipeListSource::Filter::next(std::vector<std::int64_t>& matches, int rows, const std::stop_token& stop)
{
    if (source_.reads_)
        return source_.reads_->filterNext(condition_, folded_, after_, offered_, matches, rows, stop);
    sqlite::Database& db = *source_.db_;
    sqlite::ConnectionLock lock(db);
    if (!lockCommitted(db, lock, stop))
        return true; // stopped, not done
    if (!started_) {
        // The first step reads the first recipes directly, so that their matches show at once;
        // the word index then narrows the rest, or names them.
        started_ = true;
        ranges_ = {{after_, std::numeric_limits<std::int64_t>::max()}};
        return scan(db, matches, rows);
    }
    if (!indexAsked_) {
        indexAsked_ = true;
        if (!folded_.empty()) {
            // A text in many words means many lookups: the window gets the connection between them.
            const auto pause = [&] {
                lock.unlock();
                std::this_thread::yield();
                lock.relock();
                return lockCommitted(db, lock, stop);
            };
            if (auto rows = words_.rowsWith(db, folded_, after_, stop, pause)) {
                // The window may want the connection meanwhile, to draw the rows it has.
                lock.unlock();
                found_ = WordIndex::recipesIn(std::move(*rows), after_, stop);
                lock.relock();
                if (!lockCommitted(db, lock, stop))
                    return true;
            }
            std::optional<std::vector<WordIndex::IdRange>> open;
            if (!found_ && !stop.stop_requested())
                open = words_.candidates(db, folded_, after_, stop, pause);
            if (stop.stop_requested())
                return true;
            if (open) {
                ranges_ = std::move(*open);
                range_ = 0;
            }
        }
    }
    return found_ ? nextFound(db, matches, rows) : scan(db, matches, rows);
}

bool RecipeListSource::Filter::scan(sqlite::Database& db, std::vector<std::int64_t>& matches, int rows)
{
    static const QByteArray sql = "SELECT rowid, " + RecipeTable::columnList() +
                                  " FROM Recipes WHERE rowid > ?1 AND rowid <= ?2 ORDER BY rowid LIMIT ?3";
    sqlite::Statement scan(db, sql.constData(), ReadAction);
    std::string folded;
    while (rows > 0 && range_ < ranges_.size()) {
        const auto [from, to] = ranges_[range_];
        scan.reset();
        scan.bind(1, std::max(after_, from == std::numeric_limits<std::int64_t>::min() ? from : from - 1));
        scan.bind(2, to);
        scan.bind(3, std::int64_t(rows));
        int read = 0;
        while (scan.step()) {
            ++read;
            after_ = scan.int64(0);
            if (rowMatches(scan, folded))
                matches.push_back(after_);
        }
        rows -= read;
        if (rows > 0) // the range is done
            ++range_;
    }
    return range_ < ranges_.size();
}

bool RecipeListSource::Filter::nextFound(sqlite::Database& db, std::vector<std::int64_t>& matches, int rows)
{
    // Those the index vouches for cost nothing; the rest are read, at most `rows` a step.
    static const QByteArray sql =
        "SELECT rowid, " + RecipeTable::columnList() + " FROM Recipes WHERE rowid = ?1";
    sqlite::Statement row(db, sql.constData(), ReadAction);
    std::string folded;
    const auto& sure = found_->sure;
    const auto& toRead = found_->toRead;
    for (; rows > 0 && read_ < toRead.size(); ++read_, --rows) {
        const std::int64_t id = toRead[read_];
        for (; sure_ < sure.size() && sure[sure_] < id; ++sure_)
            matches.push_back(sure[sure_]);
        row.reset();
        row.bind(1, id);
        if (row.step() && rowMatches(row, folded))
            matches.push_back(id);
    }
    if (read_ == toRead.size())
        for (; sure_ < sure.size(); ++sure_)
            matches.push_back(sure[sure_]);
    return sure_ < sure.size() || read_ < toRead.size();
}

} // namespace pantrio
