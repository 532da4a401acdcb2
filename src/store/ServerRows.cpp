#include "ServerRows.h"

#include "RecipeTable.h"
#include "ServerSchema.h"

namespace pantrio {

namespace {

const QString ReadAction = QStringLiteral("read");
const QString ImportAction = QStringLiteral("import recipes into");

constexpr int BatchRows = 500;
constexpr int BatchBytes = 1 << 20;

QByteArray table()
{
    return ServerSchema::Table;
}

} // namespace

using ServerSchema::TimeoutSeconds;

std::int64_t ServerRows::highestId()
{
    flush();
    return db_.exec("SELECT coalesce(max(id), 0) FROM " + table(), ImportAction).int64(0, 0);
}

void ServerRows::insert(std::int64_t id, const RecipeValues& values)
{
    pending_ += QByteArray::number(qint64(id));
    for (Field f : allFields) {
        pending_ += '\t';
        const pg::Param text = pg::param(values[f]);
        pg::appendCopyField(pending_, text);
        if (text)
            numbering_.addField(std::string_view(text->constData(), std::size_t(text->size())));
    }
    pending_ += '\t';
    numbering_.appendTerms(pending_);
    pending_ += '\n';
    ++inserted_;
    if (++pendingRows_ >= BatchRows || pending_.size() >= BatchBytes)
        send();
}

// A bulk change (the first batch to go is a full one) into an empty table goes in as into a
// new one: the search indexes put off until the commit and then built in one sweep, the
// triggers off meanwhile (the count is taken at the end; the rows' word numbers are this
// program's own), and the table emptied in the transaction, which lets COPY write the rows
// frozen, for no later pass to mark them seen by all. 100,000 recipes go in in 9 s. The
// table's owner alone may do this; anyone else copies in with the indexes. Done inside a part
// that is then taken back, all of it is undone, and the rest goes in as into any table.
void ServerRows::beginBulk()
{
    static const QByteArray sql =
        "SELECT NOT EXISTS (SELECT FROM " + table() +
        ") AND pg_has_role(relowner, 'USAGE') FROM pg_class WHERE oid = $1::regclass";
    if (db_.exec(sql.constData(), {table()}, ImportAction).text(0, 0) != QLatin1String("t"))
        return;
    db_.exec("TRUNCATE " + table(), ImportAction);
    db_.exec("ALTER TABLE " + table() + " DISABLE TRIGGER USER", ImportAction);
    bulk_ = freezable_ = true;
    for (const ServerSchema::SearchIndex& index : ServerSchema::searchIndexes()) {
        if (db_.exec("SELECT to_regclass($1)", {QByteArray(index.name)}, ImportAction).isNull(0, 0))
            continue; // a collection made without it, by a user who could not add it
        db_.exec("DROP INDEX " + QByteArray(index.name), ImportAction);
        putOff_.push_back(index.create);
    }
}

// An index over a million recipes takes minutes, past the limit a statement has here (the
// connection's own, 6 times the connect timeout); a limit the address or the server set stands.
void ServerRows::finish()
{
    flush();
    if (!std::exchange(bulk_, false))
        return;
    db_.exec("ALTER TABLE " + table() + " ENABLE TRIGGER USER", ImportAction);
    if (!db_.exec("SELECT to_regclass($1)", {QByteArray(ServerSchema::CountTable)}, ImportAction)
             .isNull(0, 0))
        db_.exec("UPDATE " + QByteArray(ServerSchema::CountTable) + " SET n = (SELECT count(*) FROM " +
                     table() + ")",
                 ImportAction);
    db_.exec("SELECT set_config('statement_timeout', '0', true) FROM pg_settings WHERE name = "
             "'statement_timeout' AND setting = $1",
             {QByteArray::number(TimeoutSeconds * 6000)}, ImportAction);
    for (const QByteArray& create : std::exchange(putOff_, {}))
        db_.exec(create.constData(), ImportAction);
}

// Into one copy left open: the server stores a batch while this side makes the next.
void ServerRows::send()
{
    if (pendingRows_ == 0)
        return;
    if (!std::exchange(firstSent_, true) && (pendingRows_ >= BatchRows || pending_.size() >= BatchBytes))
        beginBulk();
    static const QByteArray sql = "COPY " + table() + " (id, " + RecipeTable::columnList() + ", " +
                                  ServerSchema::TermsColumn + ") FROM STDIN";
    if (!std::exchange(copying_, true)) {
        db_.copyStart((freezable_ ? sql + " (FREEZE)" : sql).constData(), ImportAction);
        copyStarted_ = std::chrono::steady_clock::now();
        sending_ = std::make_unique<Handoff<QByteArray>>(4);
        sender_ = std::thread([this] {
            while (std::optional<QByteArray> batch = sending_->take()) {
                try {
                    db_.copyData(*batch, ImportAction);
                } catch (...) {
                    sendFailed_ = std::current_exception();
                    sending_->stop(); // what comes next is dropped; told at flush()
                    return;
                }
            }
        });
    }
    pendingRows_ = 0;
    sending_->put(std::exchange(pending_, QByteArray()));
    // A copy is one statement, under the connection's limit on one: ended well before it, and
    // another begun, for a long import on a slow network.
    if (std::chrono::steady_clock::now() - copyStarted_ > std::chrono::seconds(TimeoutSeconds * 2))
        endCopy();
}

void ServerRows::endCopy()
{
    if (!std::exchange(copying_, false))
        return;
    sending_->finish();
    sender_.join();
    if (sendFailed_)
        std::rethrow_exception(std::exchange(sendFailed_, nullptr)); // the copy ended with it
    db_.copyEnd(ImportAction);
}

void ServerRows::abandon()
{
    if (sender_.joinable()) {
        sending_->stop();
        sender_.join();
    }
}

void ServerRows::flush()
{
    send();
    endCopy();
    static const QByteArray addWords = ServerTerms::addWordsSql(1);
    if (const auto added = numbering_.takeAdded(); !added.empty())
        db_.exec(addWords.constData(), {ServerTerms::wordList(added)}, ImportAction);
}

std::optional<RecipeValues> ServerRows::fetch(std::int64_t id)
{
    flush();
    static const QByteArray sql =
        "SELECT " + RecipeTable::columnList() + " FROM " + table() + " WHERE id = $1";
    const pg::Result r = db_.exec(sql.constData(), {pg::param(id)}, ImportAction);
    if (r.rows() == 0)
        return std::nullopt;
    return ServerSchema::fieldsOf(r, 0, 0);
}

void ServerRows::forEach(const std::function<bool(std::int64_t, const RecipeValues&)>& row)
{
    flush();
    // In pages by id: the caller's transaction keeps them one state of the table.
    static const QByteArray sql = "SELECT id, " + RecipeTable::columnList() + " FROM " + table() +
                                  " WHERE id > $1 ORDER BY id LIMIT 1000";
    std::int64_t after = 0;
    for (;;) {
        const pg::Result r = db_.exec(sql.constData(), {pg::param(after)}, ReadAction);
        for (int i = 0; i < r.rows(); ++i) {
            after = r.int64(i, 0);
            if (!row(after, ServerSchema::fieldsOf(r, i, 1)))
                return;
        }
        if (r.rows() < 1000)
            return;
    }
}

void ServerRows::beginPart()
{
    flush();
    freezable_ = false; // only in the transaction level that emptied the table
    db_.exec("SAVEPOINT importing_part", ImportAction);
}

void ServerRows::keepPart()
{
    flush();
    freezable_ = false; // only in the transaction level that emptied the table
    db_.exec("RELEASE importing_part", ImportAction);
}

void ServerRows::dropPart()
{
    flush();
    freezable_ = false; // only in the transaction level that emptied the table
    db_.exec("ROLLBACK TO importing_part", ImportAction);
    numbering_.forgetKnown(); // the part's words went with it
    db_.exec("RELEASE importing_part", ImportAction);
}

} // namespace pantrio
