#pragma once

#include "Postgres.h"
#include "RecipeListReads.h"

#include <mutex>

namespace pantrio {

// What the recipe list reads from a collection on a server, on a connection of its own (the
// list's workers read while the window saves), opened at the first read.
class ServerListReads : public RecipeListReads
{
public:
    explicit ServerListReads(QString address) : address_(std::move(address)) {}

    bool readAll(RecipeListRows& rows, const std::stop_token& stop) override;
    std::optional<std::pair<QString, QString>> readNames(std::int64_t id) override;
    std::vector<std::pair<std::int64_t, QString>> readTimes(const std::vector<std::int64_t>& ids) override;
    bool readFoldedTimes(std::vector<std::pair<std::int64_t, std::string>>& out,
                         const std::stop_token& stop) override;
    bool matches(std::int64_t id, const SearchCondition& condition) override;
    bool filterNext(const SearchCondition& condition, const std::string& folded, std::int64_t& after,
                    RecipeListSource::OfferedRows& offered, std::vector<std::int64_t>& matches, int rows,
                    const std::stop_token& stop) override;

private:
    // Runs `sql` on the list's connection, connecting first when there is none.
    pg::Result exec(const QByteArray& sql, const std::vector<pg::Param>& params);
    // Pages of `sql` (id first, `after` as $1, then `more`), each row handed to `row`; false when stopped.
    bool pages(const QByteArray& sql, std::vector<pg::Param> more, const std::stop_token& stop,
               const std::function<void(const pg::Result&, int)>& row);

    QString address_;
    std::mutex mutex_;
    pg::Connection db_;
};

} // namespace pantrio
