#include "ServerStore.h"

#include "RecipeListSource.h"
#include "RecipeTable.h"
#include "SearchCondition.h"
#include "ServerList.h"
#include "ServerSchema.h"
#include "ServerTerms.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace pantrio {

namespace {

const QString ReadAction = QStringLiteral("read");
const QString SaveAction = QStringLiteral("save the recipe to");
const QString DeleteAction = QStringLiteral("delete the recipe from");
const QString ImportAction = QStringLiteral("import recipes into");

using ServerSchema::TimeoutSeconds;

QByteArray table()
{
    return ServerSchema::Table;
}

QByteArray placeholders(int count, int first)
{
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += (i ? ", $" : "$") + QByteArray::number(first + i);
    return out;
}

std::vector<pg::Param> withValues(std::vector<pg::Param> params, const RecipeValues& values)
{
    for (Field f : allFields)
        params.push_back(pg::param(values[f]));
    return params;
}

bool inSnapshot(std::span<const std::int64_t> snapshot, std::int64_t id)
{
    return std::binary_search(snapshot.begin(), snapshot.end(), id);
}

} // namespace

std::unique_ptr<ServerStore> ServerStore::open(const QString& address, OpenMode mode)
{
    std::unique_ptr<ServerStore> store(
        new ServerStore(ServerSchema::open(address, mode, TimeoutSeconds), address, mode));
    store->checkNamesIndex();
    if (mode == OpenMode::Exclusive)
        store->numberUnnumbered();
    store->snapshot_.open(mode);
    return store;
}

// Rows another program wrote, or an earlier layout left, have no word numbers, and every
// search reads them. A full window numbers them at open, a page a statement; a row changed
// meanwhile keeps what its change gave it. A failure leaves them to be read, only slower.
void ServerStore::numberUnnumbered()
{
    static const QByteArray read = "SELECT id, row_version, " + RecipeTable::columnList() + " FROM " +
                                   table() + " WHERE " + ServerSchema::TermsColumn +
                                   " IS NULL AND id > $1 ORDER BY id LIMIT 1000";
    static const QByteArray write =
        "WITH words AS (" + ServerTerms::addWordsSql(1) + ") UPDATE " + table() + " t SET " +
        ServerSchema::TermsColumn +
        " = u.terms::integer[] FROM unnest($2::bigint[], $3::bigint[], $4::text[]) u(id, version, terms) "
        "WHERE t.id = u.id AND t.row_version = u.version";
    try {
        for (std::int64_t after = std::numeric_limits<std::int64_t>::min();;) {
            const pg::Result r = db_.run(read, {pg::param(after)}, ReadAction);
            if (r.rows() == 0)
                return;
            ServerTerms::Numbering numbering;
            std::vector<std::int64_t> ids, versions;
            QByteArray terms = "{";
            for (int i = 0; i < r.rows(); ++i) {
                const char* comma = i ? "," : "";
                after = r.int64(i, 0);
                ids.push_back(after);
                versions.push_back(r.int64(i, 1));
                for (int column = 2; column < 2 + FieldCount; ++column) {
                    int size = 0;
                    if (const char* text = r.utf8(i, column, &size))
                        numbering.addField(std::string_view(text, std::size_t(size)));
                }
                terms += QByteArray(comma) + '"';
                numbering.appendTerms(terms);
                terms += '"';
            }
            db_.run(write,
                    {ServerTerms::wordList(numbering.takeAdded()), pg::integerArray(ids),
                     pg::integerArray(versions), terms + '}'},
                    SaveAction);
        }
    } catch (const StoreError&) {
    }
}

ServerStore::ServerStore(pg::Connection db, QString address, OpenMode mode)
    : db_(std::move(db)), address_(std::move(address)), mode_(mode),
      snapshot_(Snapshot::Reader{
          [this](std::optional<std::int64_t> after, int limit) { return readIds(after, limit); },
          [this] { return countRecipes(); }})
{}

// Once, at the start of a command: a reconnection that fails leaves the store as it was, for
// the next command to try again. A full window's hold on the collection ended with the lost
// connection; when another took it meanwhile, this one is told it is in use and writes nothing.
pg::Connection& ServerStore::connected()
{
    if (!open_)
        throw StoreError(StoreError::Kind::Closed, QStringLiteral("The shared collection is not open."));
    if (db_.isBroken() || !db_.isOpen()) {
        db_.close();
        db_ = ServerSchema::open(address_, mode_, TimeoutSeconds);
        checkNamesIndex();
    }
    return db_;
}

// Find takes the names index only where the server lowers letters beyond ASCII as Find folds
// them (a server whose character type is "C" lowers only A to Z).
void ServerStore::checkNamesIndex()
{
    const pg::Result r =
        db_.exec("SELECT lower('ÀΣЖ') = 'àσж' AND to_regclass($1) IS NOT NULL, to_regclass($2) IS NOT NULL",
                 {QByteArray(ServerSchema::NamesIndex), QByteArray(ServerSchema::CountTable)}, ReadAction);
    namesFindable_ = r.text(0, 0) == QLatin1String("t");
    counted_ = r.text(0, 1) == QLatin1String("t");
}

int ServerStore::countRecipes()
{
    const QByteArray sql = counted_ ? "SELECT n FROM " + QByteArray(ServerSchema::CountTable)
                                    : "SELECT count(*) FROM " + table();
    return int(connected().exec(sql.constData(), ReadAction).int64(0, 0));
}

std::vector<std::int64_t> ServerStore::readIds(std::optional<std::int64_t> after, int limit)
{
    static const QByteArray sql = "SELECT string_agg(id::text, ',') FROM (SELECT id FROM " + table() +
                                  " WHERE id > $1 ORDER BY id LIMIT $2) ids";
    const pg::Result r = connected().run(sql,
                                         {pg::param(after.value_or(std::numeric_limits<std::int64_t>::min())),
                                          limit > 0 ? pg::param(limit) : pg::Param()},
                                         ReadAction);
    return ServerSchema::idsOf(
        r); // in order as read, and sorted by the snapshot if the server had not kept it
}

template <typename Work>
auto ServerStore::inTransaction(const char* begin, const QString& action, Work work,
                                const std::function<void()>& unanswered)
{
    db_.exec(begin, action);
    decltype(work()) result;
    try {
        result = work();
    } catch (...) {
        db_.rollBackQuietly();
        throw;
    }
    if (!result) {
        db_.exec("ROLLBACK", action);
        return result;
    }
    try {
        db_.exec("COMMIT", action);
    } catch (const StoreError& e) {
        // Sent and then lost: the server may have committed or not.
        if (e.kind() == StoreError::Kind::ServerUnreachable && unanswered)
            unanswered();
        throw;
    }
    return result;
}

bool ServerStore::readRow(std::int64_t id, RecipeValues& values, std::int64_t& version)
{
    static const QByteArray sql =
        "SELECT row_version, " + RecipeTable::columnList() + " FROM " + table() + " WHERE id = $1";
    const pg::Result r = connected().run(sql, {pg::param(id)}, ReadAction);
    if (r.rows() == 0)
        return false;
    version = r.int64(0, 0);
    values = ServerSchema::fieldsOf(r, 0, 1);
    return true;
}

// Ids only grow, as in a file: a new recipe goes above every id the table or this cursor held.
// The table is locked against other adds for the moment it takes.
//
// When the connection is lost with the commit unanswered, the next try of the same recipe
// asks the server whether that transaction committed, and if so counts the recipe as saved
// under the id it got rather than adding it a second time. A recipe changed since is another
// save: the first one, if written, stays as written.
std::int64_t ServerStore::insert(const RecipeValues& values, std::int64_t highestId)
{
    static const QByteArray sql = "WITH words AS (" + ServerTerms::addWordsSql(FieldCount + 3) +
                                  ") INSERT INTO " + table() + " (id, " + RecipeTable::columnList() + ", " +
                                  ServerSchema::TermsColumn +
                                  ") SELECT greatest(coalesce(max(id), 0), $1::bigint) + 1, " +
                                  placeholders(FieldCount, 2) + ", $" + QByteArray::number(FieldCount + 2) +
                                  "::integer[] FROM " + table() + " RETURNING id, pg_current_xact_id()";
    connected();
    if (unsureAdd_ && unsureAdd_->values == values && wasAdded(*unsureAdd_))
        return std::exchange(unsureAdd_, std::nullopt)->id;
    unsureAdd_.reset();
    UnsureAdd add;
    inTransaction(
        "BEGIN", SaveAction,
        [&] {
            db_.exec("LOCK TABLE " + table() + " IN SHARE ROW EXCLUSIVE MODE", SaveAction);
            auto params = withValues({pg::param(highestId)}, values);
            auto [terms, words] = ServerTerms::numbered(values);
            params.push_back(std::move(terms));
            params.push_back(std::move(words));
            const pg::Result r = db_.run(sql, params, SaveAction);
            add = UnsureAdd{r.text(0, 1).value_or(QString()).toLatin1(), r.int64(0, 0), values};
            return true;
        },
        [&] { unsureAdd_ = std::move(add); });
    return add.id;
}

// One statement: the version check and the write cannot be parted.
std::int64_t ServerStore::update(std::int64_t id, const RecipeValues& read, std::int64_t readVersion,
                                 const RecipeValues& values, const Changed& changed)
{
    RecipeValues saved = read; // as the row will hold it, which the version check makes sure of
    for (Field f : allFields)
        if (changed.test(fieldIndex(f)))
            saved[f] = values[f];
    auto [terms, words] = ServerTerms::numbered(saved);
    QByteArray sql = "WITH words AS (" + ServerTerms::addWordsSql(3) + ") UPDATE " + table() +
                     " SET row_version = row_version + 1, " + ServerSchema::TermsColumn + " = $4::integer[]";
    std::vector<pg::Param> params{pg::param(id), pg::param(readVersion), std::move(words), std::move(terms)};
    for (Field f : allFields)
        if (changed.test(fieldIndex(f))) {
            params.push_back(pg::param(values[f]));
            sql += ", " + RecipeTable::quotedColumn(f) + " = $" + QByteArray::number(params.size());
        }
    sql += " WHERE id = $1 AND row_version = $2 RETURNING row_version";
    pg::Result r;
    try {
        r = connected().run(sql, params, SaveAction);
    } catch (const StoreError& e) {
        if (e.kind() == StoreError::Kind::ServerUnreachable)
            unsureSave_ = UnsureSave{id, readVersion, values, changed};
        throw;
    }
    const std::optional<UnsureSave> unsure = std::exchange(unsureSave_, std::nullopt);
    if (r.rows() == 1)
        return r.int64(0, 0);
    if (unsure && unsure->id == id && unsure->version == readVersion && wasWritten(*unsure))
        return readVersion + 1;
    static const QByteArray exists = "SELECT 1 FROM " + table() + " WHERE id = $1";
    if (db_.exec(exists.constData(), {pg::param(id)}, SaveAction).rows() == 0)
        throw StoreError(
            StoreError::Kind::RecordDeleted,
            QStringLiteral("Pantrio could not save the recipe to \"%1\": another program has deleted it.")
                .arg(db_.name()));
    throw StoreError(
        StoreError::Kind::ChangedByOther,
        QStringLiteral("Another program has changed this recipe in \"%1\" since Pantrio showed it.")
            .arg(db_.name()));
}

// Whether the add whose commit went unanswered was committed. Throws while the server still
// holds that transaction open (it has not yet noticed the connection gone).
bool ServerStore::wasAdded(const UnsureAdd& add)
{
    const std::optional<QString> status =
        db_.exec("SELECT pg_xact_status($1::xid8)", {add.transaction}, SaveAction).text(0, 0);
    if (status == QLatin1String("in progress"))
        db_.fail(StoreError::Kind::Timeout, SaveAction,
                 QStringLiteral("the server is still finishing this recipe's last try (the connection was "
                                "lost as it was saved); try again in a while"));
    return status == QLatin1String("committed");
}

// A save whose connection was lost may have been written all the same, only its answer lost:
// its next try then finds the recipe a version on. When the recipe holds just what that save
// wrote, one version on, it was that save, not another program's change.
bool ServerStore::wasWritten(const UnsureSave& save)
{
    static const QByteArray sql =
        "SELECT row_version, " + RecipeTable::columnList() + " FROM " + table() + " WHERE id = $1";
    const pg::Result r = db_.run(sql, {pg::param(save.id)}, SaveAction);
    if (r.rows() == 0 || r.int64(0, 0) != save.version + 1)
        return false;
    const RecipeValues now = ServerSchema::fieldsOf(r, 0, 1);
    for (Field f : allFields)
        if (save.changed.test(fieldIndex(f)) && now[f] != save.values[f])
            return false;
    return true;
}

void ServerStore::remove(std::int64_t id)
{
    static const QByteArray sql = "DELETE FROM " + table() + " WHERE id = $1";
    connected().run(sql, {pg::param(id)}, DeleteAction);
}

// An import whose commit went unanswered is asked after at once, as a save is at its next try:
// imported again, it would come in twice.
bool ServerStore::transact(const std::function<bool(RecipeRows&)>& work)
{
    ServerRows rows(connected());
    QByteArray transaction;
    bool unanswered = false, committed = false;
    try {
        committed = inTransaction(
            "BEGIN", ImportAction,
            [&] {
                // Other programs' adds wait, so that the ids the work hands out stay free.
                db_.exec("LOCK TABLE " + table() + " IN SHARE ROW EXCLUSIVE MODE", ImportAction);
                transaction = db_.exec("SELECT pg_current_xact_id()", ImportAction)
                                  .text(0, 0)
                                  .value_or(QString())
                                  .toLatin1();
                try {
                    if (!work(rows)) {
                        rows.flush(); // ends the copy, for the rollback to run
                        return false;
                    }
                    rows.finish();
                } catch (...) {
                    rows.abandon();
                    throw;
                }
                return true;
            },
            [&] { unanswered = true; });
    } catch (const StoreError&) {
        if (!unanswered || !importCommitted(transaction))
            throw;
        committed = true;
    }
    // Until the server next gathers its statistics, a table that grew this much would be read
    // whole for what its indexes answer (reading the ids of 100,000 recipes took half a second);
    // and until it marks the new rows seen by all, counting them and reading their ids at open
    // visits every row instead of the id index alone.
    if (committed && rows.inserted() >= 1000) {
        try {
            db_.exec("VACUUM (ANALYZE) " + table(), ImportAction);
        } catch (const StoreError&) {
            // Only slower; the server does both itself before long.
        }
    }
    return committed;
}

// On a connection of its own, which takes no hold on the collection: the session that lost its
// answer may still hold it until the server sees it gone. Throws when the server cannot tell.
bool ServerStore::importCommitted(const QByteArray& transaction)
{
    try {
        pg::Connection asking(address_, TimeoutSeconds);
        for (int waited = 0; waited < TimeoutSeconds * 10; ++waited) {
            const std::optional<QString> status =
                asking.exec("SELECT pg_xact_status($1::xid8)", {transaction}, ImportAction).text(0, 0);
            if (status != QLatin1String("in progress"))
                return status == QLatin1String("committed");
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    } catch (const StoreError&) {
    }
    throw StoreError(
        StoreError::Kind::ServerUnreachable,
        QStringLiteral("Pantrio could not import recipes into the shared collection \"%1\": the "
                       "connection was lost as the import was being saved, and the server could not "
                       "say whether it was. Look for the recipes in the collection before importing "
                       "them again.")
            .arg(db_.name()));
}

void ServerStore::read(const std::function<void(RecipeRows&)>& work)
{
    connected();
    inTransaction("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY", ReadAction, [&] {
        ServerRows rows(db_);
        work(rows);
        return true;
    });
}

namespace {

// The runs of `folded` (a search text as this program folds it) between the characters it folds
// to from one the server lowers otherwise (final sigma, the micro sign, the long s, ...), for the
// server to fold each run as it folded its index and join them with `_`, any one character: the
// index then offers every row this program could match, and each is matched here.
std::vector<QByteArray> patternRuns(std::string_view folded)
{
    static const QString loose = QStringLiteral("σβθφπκρεṡιμsвдостъѣꙋ");
    std::vector<QByteArray> runs;
    QString run;
    for (const QChar c : QString::fromUtf8(folded.data(), qsizetype(folded.size()))) {
        if (loose.contains(c))
            runs.push_back(std::exchange(run, QString()).toUtf8());
        else
            run += c;
    }
    runs.push_back(run.toUtf8());
    return runs;
}

// " LIKE" the runs in parameters `first` on, each as `fold` (with %1 for the run) folds it,
// joined by any one character, anywhere in the text. Each run a parameter of its own: the
// server folds them while planning and so knows how rare the text is (as a subquery its plan
// at a million recipes walked every row in order).
QByteArray likeRuns(const char* fold, int first, std::size_t count)
{
    QByteArray out = " LIKE '%' || ";
    for (std::size_t i = 0; i < count; ++i)
        out += QByteArray(i ? " || '_' || " : "") + "replace(replace(replace(" +
               QString::fromLatin1(fold).arg(QStringLiteral("$%1::text").arg(first + int(i))).toLatin1() +
               ", '\\', '\\\\'), '%', '\\%'), '_', '\\_')";
    return out + " || '%'";
}

} // namespace

// The server narrows the rows down; each is then matched here, as in a file, so that both find
// the same. Text anywhere, ignoring accents, goes through the numbers of the recipes' words;
// text in the name or the category, through the trigram index over both lowered. The rows just
// after the start are looked at first, where a common text is found at once and an index would
// offer every row. Any other condition, and a text neither index narrows (one under three
// characters has no trigrams), reads the fields it names, in pages.
std::optional<std::int64_t> ServerStore::findAfter(const SearchCondition& condition, std::int64_t afterId,
                                                   std::span<const std::int64_t> snapshot)
{
    const auto& terms = condition.terms();
    if (terms.empty())
        return std::nullopt;
    connected();
    const auto text = terms.front().pattern.containedText();
    const auto sameText = [&](bool loose) {
        return text && std::all_of(terms.begin(), terms.end(), [&](const SearchCondition::Term& t) {
                   return t.pattern.ignoresAccents() == loose && t.pattern.containedText() == text;
               });
    };
    const bool byWords = condition.ignoresAccents() && sameText(true);
    const bool byNames = !byWords && namesFindable_ && sameText(false) &&
                         std::all_of(terms.begin(), terms.end(), [](const SearchCondition::Term& t) {
                             return t.field == Field::RecipeName || t.field == Field::FoodCategoryID;
                         });
    std::vector<Field> fields;
    for (const auto& t : terms)
        if (std::find(fields.begin(), fields.end(), t.field) == fields.end())
            fields.push_back(t.field);
    const QByteArray columns = "id, " + RecipeTable::columnList(fields);
    std::vector<pg::Param> params{pg::param(afterId)};
    QByteArray indexed; // what the server's indexes answer
    const auto exec = [this](const QByteArray& sql, const std::vector<pg::Param>& p) {
        return db_.exec(sql.constData(), p, QStringLiteral("search"));
    };
    if (byWords) {
        indexed = ServerTerms::rowsHolding(exec, *text, params).value_or(QByteArray());
    } else if (byNames) {
        const std::vector<QByteArray> runs = patternRuns(*text);
        indexed = ServerSchema::namesExpression() + likeRuns("lower(%1)", 2, runs.size());
        params.insert(params.end(), runs.begin(), runs.end());
    }
    // The first match among `r`'s rows (id, then `fields`) that is in the snapshot.
    const auto firstMatch = [&](const pg::Result& r) -> std::optional<std::int64_t> {
        for (int i = 0; i < r.rows(); ++i) {
            const std::int64_t id = r.int64(i, 0);
            if (!inSnapshot(snapshot, id))
                continue;
            RecipeValues v;
            for (std::size_t k = 0; k < fields.size(); ++k)
                v[fields[k]] = r.text(i, int(k) + 1);
            if (condition.matches(v))
                return id;
        }
        return std::nullopt;
    };
    constexpr int Near = 128;
    if (!indexed.isEmpty()) {
        const QByteArray near = "SELECT " + columns + " FROM (SELECT * FROM " + table() +
                                " WHERE id > $1 ORDER BY id LIMIT " + QByteArray::number(Near) +
                                ") near WHERE " + indexed + " ORDER BY id";
        if (const auto hit = firstMatch(db_.exec(near.constData(), params, QStringLiteral("search"))))
            return hit;
        const QByteArray end = "SELECT id FROM " + table() + " WHERE id > $1 ORDER BY id OFFSET " +
                               QByteArray::number(Near - 1) + " LIMIT 1";
        const pg::Result last = db_.exec(end.constData(), {params[0]}, QStringLiteral("search"));
        if (last.rows() == 0)
            return std::nullopt;
        params[0] = pg::param(last.int64(0, 0));
        const std::vector<std::int64_t> ids = ServerTerms::idsHolding(exec, indexed, params);
        const QByteArray read =
            "SELECT " + columns + " FROM " + table() + " WHERE id = ANY($1::bigint[]) ORDER BY id";
        for (std::size_t at = 0, page = 256; at < ids.size();
             at += page, page = std::min<std::size_t>(page * 2, 16384)) {
            const auto some = std::span(ids).subspan(at, std::min(page, ids.size() - at));
            if (const auto hit = firstMatch(
                    db_.exec(read.constData(), {pg::integerArray(some)}, QStringLiteral("search"))))
                return hit;
        }
        return std::nullopt;
    }
    // Pages that grow: a match is often near, and a search that finds none takes few trips.
    const QByteArray sql = "SELECT " + columns + " FROM " + table() + " WHERE id > $1 ORDER BY id LIMIT $" +
                           QByteArray::number(params.size() + 1);
    params.push_back(std::nullopt);
    for (int page = 256;; page = std::min(page * 2, 16384)) {
        params.back() = pg::param(page);
        const pg::Result r = db_.exec(sql.constData(), params, QStringLiteral("search"));
        if (const auto hit = firstMatch(r))
            return hit;
        if (r.rows() < page)
            return std::nullopt;
        params[0] = pg::param(r.int64(r.rows() - 1, 0));
    }
}

RecipeListSource ServerStore::listSource()
{
    return RecipeListSource(std::make_shared<ServerListReads>(address_));
}

} // namespace pantrio
