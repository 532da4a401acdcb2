#include "ServerList.h"

#include "RecipeTable.h"
#include "SearchCondition.h"
#include "ServerSchema.h"
#include "ServerTerms.h"
#include "TextFolding.h"

#include <limits>

namespace pantrio {

namespace {

const QString ReadAction = QStringLiteral("read");
constexpr int PageRows = 4096;

QByteArray table()
{
    return ServerSchema::Table;
}

std::string_view bytes(const pg::Result& r, int row, int column)
{
    int size = 0;
    const char* data = r.utf8(row, column, &size);
    return data ? std::string_view(data, std::size_t(size)) : std::string_view();
}

} // namespace

// A connection found lost is made anew and the read tried once more on it: a read changes
// nothing, and the list's connection, idle for long, is the one a server restart ends unseen.
// A failure on the new one is told.
pg::Result ServerListReads::exec(const QByteArray& sql, const std::vector<pg::Param>& params)
{
    const std::lock_guard lock(mutex_);
    if (db_.isOpen() && !db_.isBroken()) {
        try {
            return db_.exec(sql.constData(), params, ReadAction);
        } catch (const StoreError& e) {
            if (e.kind() != StoreError::Kind::ServerUnreachable)
                throw;
        }
    }
    db_ = pg::Connection(address_, ServerSchema::TimeoutSeconds);
    return db_.exec(sql.constData(), params, ReadAction);
}

bool ServerListReads::pages(const QByteArray& sql, std::vector<pg::Param> more, const std::stop_token& stop,
                            const std::function<void(const pg::Result&, int)>& row)
{
    std::int64_t after = std::numeric_limits<std::int64_t>::min();
    more.insert(more.begin(), std::nullopt);
    for (;;) {
        if (stop.stop_requested())
            return false;
        more[0] = pg::param(after);
        const pg::Result r = exec(sql, more);
        for (int i = 0; i < r.rows(); ++i)
            row(r, i);
        if (r.rows() < PageRows)
            return true;
        after = r.int64(r.rows() - 1, 0);
    }
}

bool ServerListReads::readAll(RecipeListRows& rows, const std::stop_token& stop)
{
    static const QByteArray sql = "SELECT id, " + RecipeTable::quotedColumn(Field::RecipeName) + ", " +
                                  RecipeTable::quotedColumn(Field::FoodCategoryID) + " FROM " + table() +
                                  " WHERE id > $1 ORDER BY id LIMIT " + QByteArray::number(PageRows);
    return pages(sql, {}, stop, [&](const pg::Result& r, int i) {
        rows.append(r.int64(i, 0), bytes(r, i, 1), bytes(r, i, 2));
    });
}

std::optional<std::pair<QString, QString>> ServerListReads::readNames(std::int64_t id)
{
    static const QByteArray sql = "SELECT " + RecipeTable::quotedColumn(Field::RecipeName) + ", " +
                                  RecipeTable::quotedColumn(Field::FoodCategoryID) + " FROM " + table() +
                                  " WHERE id = $1";
    const pg::Result r = exec(sql, {pg::param(id)});
    if (r.rows() == 0)
        return std::nullopt;
    return std::pair(r.text(0, 0).value_or(QString()), r.text(0, 1).value_or(QString()));
}

std::vector<std::pair<std::int64_t, QString>> ServerListReads::readTimes(const std::vector<std::int64_t>& ids)
{
    static const QByteArray sql = "SELECT id, " + RecipeTable::quotedColumn(Field::TimeToPrepare) + " FROM " +
                                  table() + " WHERE id = ANY($1::bigint[])";
    std::unordered_map<std::int64_t, QString> found;
    const pg::Result r = exec(sql, {pg::integerArray(ids)});
    for (int i = 0; i < r.rows(); ++i)
        found.emplace(r.int64(i, 0), r.text(i, 1).value_or(QString()));
    std::vector<std::pair<std::int64_t, QString>> out;
    out.reserve(ids.size());
    for (std::int64_t id : ids)
        out.emplace_back(id, found.count(id) ? found[id] : QString());
    return out;
}

bool ServerListReads::readFoldedTimes(std::vector<std::pair<std::int64_t, std::string>>& out,
                                      const std::stop_token& stop)
{
    static const QByteArray sql = "SELECT id, left(" + RecipeTable::quotedColumn(Field::TimeToPrepare) +
                                  ", " + QByteArray::number(int(RecipeListRows::MaxTextBytes)) + ") FROM " +
                                  table() + " WHERE id > $1 ORDER BY id LIMIT " +
                                  QByteArray::number(PageRows);
    return pages(sql, {}, stop, [&](const pg::Result& r, int i) {
        std::string_view time = bytes(r, i, 1);
        if (time.size() > RecipeListRows::MaxTextBytes) { // cut as the list cuts names
            std::size_t end = RecipeListRows::MaxTextBytes;
            while (end > 0 && (static_cast<unsigned char>(time[end]) & 0xC0) == 0x80)
                --end;
            time = time.substr(0, end);
        }
        out.emplace_back(r.int64(i, 0), foldLoosely(time));
    });
}

bool ServerListReads::matches(std::int64_t id, const SearchCondition& condition)
{
    static const QByteArray sql =
        "SELECT " + RecipeTable::columnList() + " FROM " + table() + " WHERE id = $1";
    const pg::Result r = exec(sql, {pg::param(id)});
    return r.rows() == 1 && condition.matches(ServerSchema::fieldsOf(r, 0, 0));
}

// The server offers the rows that hold the filter's words; each is matched here, as the file's list does.
// The first step reads the first recipes directly, so that their matches show at once; the
// numbers of the words then offer the rest, or, when they cannot narrow the text, every row is read.
bool ServerListReads::filterNext(const SearchCondition& condition, const std::string& folded,
                                 std::int64_t& after, RecipeListSource::OfferedRows& offered,
                                 std::vector<std::int64_t>& matches, int rows, const std::stop_token& stop)
{
    if (stop.stop_requested())
        return true;
    const auto lookUp = [this](const QByteArray& q, const std::vector<pg::Param>& p) { return exec(q, p); };
    if (std::exchange(offered.started, true) && !std::exchange(offered.asked, true) && !folded.empty()) {
        std::vector<pg::Param> params{pg::param(after)};
        if (const auto held = ServerTerms::rowsHolding(lookUp, folded, params))
            offered.ids = ServerTerms::idsHolding(lookUp, *held, params);
    }
    QByteArray sql = "SELECT id, " + RecipeTable::columnList() + " FROM " + table();
    std::vector<pg::Param> params;
    std::size_t taken = 0;
    if (offered.ids) {
        const auto& ids = *offered.ids;
        taken = std::min(ids.size() - offered.next, std::size_t(rows));
        sql += " WHERE id = ANY($1::bigint[]) ORDER BY id";
        params.push_back(pg::integerArray(std::span(ids).subspan(offered.next, taken)));
        offered.next += taken;
    } else {
        sql += " WHERE id > $1 ORDER BY id LIMIT " + QByteArray::number(rows);
        params.push_back(pg::param(after));
    }
    const pg::Result r = exec(sql, params);
    for (int i = 0; i < r.rows(); ++i) {
        after = r.int64(i, 0);
        if (condition.matches(ServerSchema::fieldsOf(r, i, 1)))
            matches.push_back(after);
    }
    if (offered.ids) {
        if (taken > 0)
            after = (*offered.ids)[offered.next - 1];
        return offered.next < offered.ids->size();
    }
    return r.rows() == rows;
}

} // namespace pantrio
