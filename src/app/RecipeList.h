#pragma once

#include "CollectionChange.h"
#include "store/RecipeListSource.h"
#include "store/WordIndex.h"

#include <cstdint>
#include <memory>
#include <QObject>
#include <QString>
#include <QTimer>
#include <thread>
#include <unordered_map>
#include <vector>

namespace pantrio {

// Every recipe of an open collection as a list shows it: name, category and preparation time,
// sorted by one of them and narrowed by a filter text over every field, as the search over
// every field matches it.
//
// Only names and categories are kept in memory; times are read for the rows shown. Loading,
// sorting and filtering run on worker threads that share the session's connection; a new
// filter stops the running one, and matches arrive in steps (shownChanged() after each).
// The session hands it its own changes (follow()); those of other programs show after a
// Refresh, which reads everything again.
class RecipeList : public QObject
{
    Q_OBJECT
public:
    enum class Column { Name, Category, Time };

    explicit RecipeList(RecipeListSource source, QObject* parent = nullptr);
    ~RecipeList() override;

    // Starts reading the rows, unless they are read or being read.
    void load();
    // Stops the workers and reads no more; before the connection closes.
    void stop();
    // Reads everything again after a stop, when the connection stayed open after all.
    void resume();

    bool isLoaded() const { return loaded_; }
    bool isFiltering() const { return filtering_; }
    // Why the rows could not be read, empty when they could.
    const QString& error() const { return error_; }
    int total() const { return int(order_.size()); }

    // The rows shown: those the filter matches, in the sort order.
    int shownCount() const;
    std::int64_t idAt(int row) const;
    QString text(int row, Column column);
    int shownRowOf(std::int64_t id) const; // -1 when it is not shown

    const QString& filter() const { return filter_; }
    void setFilter(const QString& text);
    Column sortColumn() const { return column_; }
    void sortBy(Column column);

    // A change this program made; the list follows it.
    void follow(const CollectionChange& change);

signals:
    // The shown rows changed (any of them, or their number, or their order).
    void shownChanged();

private:
    void startLoad();
    void startFilter();
    void stopFilter();
    void previewed(std::uint64_t generation, std::vector<NameOrder::Row> rows);
    void loaded(std::uint64_t generation, std::shared_ptr<RecipeListRows> rows,
                std::shared_ptr<std::vector<std::uint32_t>> order, const QString& error);
    void filtered(std::uint64_t generation, std::vector<std::int64_t> ids, bool done, const QString& error);
    void rebuild();
    void applyMatches();
    // Before the first load: the first rows by name, from the order the file keeps.
    bool previewing() const { return !loaded_ && order_.empty() && filter_.isEmpty() && !preview_.empty(); }
    std::uint32_t shownAt(int row) const
    {
        return filter_.isEmpty() ? order_[size_t(row)] : shown_[size_t(row)];
    }
    std::string keyOf(std::uint32_t row);
    void place(std::uint32_t row); // into the order by its key
    void unplace(std::uint32_t row);
    void recheck(std::int64_t id, std::uint32_t row); // against a filter that is done

    RecipeListSource source_;
    Column column_ = Column::Name;
    QString filter_;
    QString error_;

    bool loaded_ = false;
    RecipeListRows rows_;
    std::vector<NameOrder::Row> preview_;
    std::vector<std::uint32_t> order_; // rows by the sort column
    std::vector<std::uint32_t> shown_; // with a filter: the matching rows, in order
    std::vector<std::int64_t> matchedIds_;
    std::size_t applied_ = 0;  // matchedIds_ counted in matchedRows_
    std::size_t matchRow_ = 0; // the row of the next id applied, when ids come in order
    std::vector<bool> matchedRows_;
    bool filtering_ = false;
    bool shownSince_ = false; // the running filter's matches have been shown
    QTimer showTimer_;
    std::unordered_map<std::int64_t, QString> times_;

    std::uint64_t loadGeneration_ = 0;
    std::uint64_t filterGeneration_ = 0;
    WordIndex words_; // the filter worker's
    bool stopped_ = false;
    std::jthread loader_;
    std::jthread filterer_;
};

} // namespace pantrio
