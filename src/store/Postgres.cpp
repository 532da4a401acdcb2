#include "Postgres.h"

#include <charconv>
#include <libpq-fe.h>
#include <utility>

namespace pantrio::pg {

Param param(std::int64_t value)
{
    return QByteArray::number(qint64(value));
}

Param param(const std::optional<QString>& value)
{
    if (!value)
        return std::nullopt;
    return value->toUtf8();
}

Result::~Result()
{
    if (result_)
        PQclear(result_);
}

Result::Result(Result&& other) noexcept : result_(std::exchange(other.result_, nullptr)) {}

Result& Result::operator=(Result&& other) noexcept
{
    if (this != &other) {
        if (result_)
            PQclear(result_);
        result_ = std::exchange(other.result_, nullptr);
    }
    return *this;
}

int Result::rows() const
{
    return result_ ? PQntuples(result_) : 0;
}

int Result::affected() const
{
    return result_ ? QByteArray(PQcmdTuples(result_)).toInt() : 0;
}

bool Result::isNull(int row, int column) const
{
    return PQgetisnull(result_, row, column) != 0;
}

std::optional<QString> Result::text(int row, int column) const
{
    if (isNull(row, column))
        return std::nullopt;
    return QString::fromUtf8(PQgetvalue(result_, row, column), PQgetlength(result_, row, column));
}

std::int64_t Result::int64(int row, int column) const
{
    if (isNull(row, column))
        return 0;
    const char* text = PQgetvalue(result_, row, column);
    std::int64_t value = 0;
    std::from_chars(text, text + PQgetlength(result_, row, column), value);
    return value;
}

const char* Result::utf8(int row, int column, int* size) const
{
    if (isNull(row, column)) {
        *size = 0;
        return nullptr;
    }
    *size = PQgetlength(result_, row, column);
    return PQgetvalue(result_, row, column);
}

namespace {

QString option(PQconninfoOption* options, const char* keyword)
{
    for (PQconninfoOption* o = options; o && o->keyword; ++o)
        if (qstrcmp(o->keyword, keyword) == 0 && o->val && *o->val)
            return QString::fromUtf8(o->val);
    return {};
}

// Sorts what libpq said about a failed connection into the causes a user can act on.
std::pair<StoreError::Kind, QString> connectFailure(const QString& said, const QString& database)
{
    const auto has = [&](const char* text) {
        return said.contains(QLatin1String(text), Qt::CaseInsensitive);
    };
    if (has("password authentication failed") || has("no password supplied") || has("authentication failed"))
        return {StoreError::Kind::AccessDenied,
                QStringLiteral("the server refused the user name or password (a password belongs in "
                               "~/.pgpass, never in the address)")};
    if (has("no pg_hba.conf entry") || has("permission denied for database") ||
        has("not permitted to log in"))
        return {StoreError::Kind::AccessDenied,
                QStringLiteral("the server does not let this user in from here (its pg_hba.conf needs a line "
                               "for this user and this computer)")};
    if (has("database") && has("does not exist"))
        return {StoreError::Kind::DatabaseMissing,
                QStringLiteral("the server has no database \"%1\" (check the name in the address, or have "
                               "it created on the server)")
                    .arg(database)};
    if (has("role") && has("does not exist"))
        return {StoreError::Kind::AccessDenied,
                QStringLiteral("the server knows no such user (check the user name in the address)")};
    if (has("timeout expired") || has("timed out"))
        return {StoreError::Kind::Timeout,
                QStringLiteral("the server did not answer in time (it may be very busy, or the network slow "
                               "or gone); try again in a while")};
    if (has("could not translate host name"))
        return {StoreError::Kind::ServerUnreachable, QStringLiteral("the server's name is not known")};
    if (has("connection refused") || has("no such file or directory") || has("network is unreachable") ||
        has("no route to host") || has("the database system is shutting down") ||
        has("the database system is starting up"))
        return {StoreError::Kind::ServerUnreachable,
                QStringLiteral("no database server answers at that address (is it running, and is the "
                               "network there?)")};
    if (has("invalid") || has("missing") || has("unrecognized"))
        return {StoreError::Kind::BadCondition, QStringLiteral("the address is not valid (%1)").arg(said)};
    return {StoreError::Kind::Other, said};
}

} // namespace

QString describe(const QString& conninfo)
{
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(conninfo.toUtf8().constData(), &error);
    if (error)
        PQfreemem(error);
    if (!options)
        return conninfo;
    QString database = option(options, "dbname");
    const QString host = option(options, "host");
    const QString user = option(options, "user");
    PQconninfoFree(options);
    if (database.isEmpty())
        database = user.isEmpty() ? QStringLiteral("(default)") : user;
    if (host.isEmpty() || host.startsWith(QLatin1Char('/')))
        return QStringLiteral("%1 on this computer").arg(database);
    return QStringLiteral("%1 on %2").arg(database, host);
}

Connection::Connection(const QString& conninfo, int timeoutSeconds) : name_(describe(conninfo))
{
    const QByteArray info = conninfo.toUtf8();
    const QByteArray timeout = QByteArray::number(timeoutSeconds);
    const QByteArray userTimeout = QByteArray::number(timeoutSeconds * 1000);
    // Before the address, so that the address may set them otherwise; the encoding after it.
    // Keepalives notice a network gone while idle; the user timeout while a statement waits.
    const char* keywords[] = {"connect_timeout",  "keepalives_idle",  "keepalives_interval",
                              "keepalives_count", "tcp_user_timeout", "application_name",
                              "dbname",           "client_encoding",  nullptr};
    const char* values[] = {timeout.constData(), "10",   "5",    "3", userTimeout.constData(), "Pantrio",
                            info.constData(),    "UTF8", nullptr};
    char* parseError = nullptr;
    if (PQconninfoOption* parsed = PQconninfoParse(info.constData(), &parseError))
        PQconninfoFree(parsed);
    if (parseError) {
        const QString said = QString::fromUtf8(parseError).trimmed();
        PQfreemem(parseError);
        throw StoreError(StoreError::Kind::BadCondition,
                         QStringLiteral("Pantrio could not open the shared collection \"%1\": the address is "
                                        "not valid (%2).")
                             .arg(conninfo, said));
    }
    conn_ = PQconnectdbParams(keywords, values, 1);
    if (!conn_)
        fail(StoreError::Kind::Other, QStringLiteral("open"), QStringLiteral("out of memory"));
    if (PQstatus(conn_) != CONNECTION_OK) {
        const QString said = QString::fromUtf8(PQerrorMessage(conn_)).trimmed();
        char* error = nullptr;
        PQconninfoOption* options = PQconninfoParse(info.constData(), &error);
        const QString database = options ? option(options, "dbname") : QString();
        if (options)
            PQconninfoFree(options);
        if (error)
            PQfreemem(error);
        const auto [kind, cause] = connectFailure(said, database);
        PQfinish(conn_);
        conn_ = nullptr;
        throw StoreError(
            kind,
            QStringLiteral("Pantrio could not open the shared collection \"%1\": %2.").arg(name_, cause));
    }
    // The server's notices (a cascade, an existing extension) are not for the user.
    PQsetNoticeProcessor(
        conn_, [](void*, const char*) {}, nullptr);
    // A statement that waits this long is told as a timeout. A limit the address (options=-c
    // statement_timeout=...), the user or the server set stands.
    exec("SELECT set_config('statement_timeout', $1, false) WHERE current_setting('statement_timeout') = '0'",
         {QByteArray::number(timeoutSeconds * 6000)}, QStringLiteral("open"));
}

Connection::~Connection()
{
    close();
}

Connection::Connection(Connection&& other) noexcept
    : conn_(std::exchange(other.conn_, nullptr)), name_(std::move(other.name_)),
      prepared_(std::move(other.prepared_))
{}

Connection& Connection::operator=(Connection&& other) noexcept
{
    if (this != &other) {
        close();
        conn_ = std::exchange(other.conn_, nullptr);
        name_ = std::move(other.name_);
        prepared_ = std::move(other.prepared_);
    }
    return *this;
}

void Connection::close()
{
    if (conn_)
        PQfinish(std::exchange(conn_, nullptr));
    prepared_.clear();
}

bool Connection::isBroken() const
{
    return conn_ && PQstatus(conn_) != CONNECTION_OK;
}

Result Connection::exec(const char* sql, std::initializer_list<Param> params, const QString& action)
{
    return exec(sql, std::vector<Param>(params), action);
}

namespace {

struct Values
{
    explicit Values(const std::vector<Param>& params)
    {
        values.reserve(params.size());
        lengths.reserve(params.size());
        for (const Param& p : params) {
            values.push_back(p ? p->constData() : nullptr);
            lengths.push_back(p ? int(p->size()) : 0);
        }
    }
    std::vector<const char*> values;
    std::vector<int> lengths;
};

bool succeeded(PGresult* result)
{
    const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

} // namespace

Result Connection::exec(const char* sql, const std::vector<Param>& params, const QString& action)
{
    if (!conn_)
        throw StoreError(StoreError::Kind::Closed, QStringLiteral("The shared collection is not open."));
    const Values v(params);
    PGresult* result =
        PQexecParams(conn_, sql, int(params.size()), nullptr, v.values.data(), v.lengths.data(), nullptr, 0);
    if (succeeded(result))
        return Result(result);
    failWith(result, action);
}

Result Connection::run(const QByteArray& sql, const std::vector<Param>& params, const QString& action)
{
    if (!conn_)
        throw StoreError(StoreError::Kind::Closed, QStringLiteral("The shared collection is not open."));
    auto name = prepared_.constFind(sql);
    if (name == prepared_.cend()) {
        const QByteArray made = "pantrio_" + QByteArray::number(prepared_.size() + 1);
        PGresult* result = PQprepare(conn_, made.constData(), sql.constData(), 0, nullptr);
        if (!succeeded(result))
            failWith(result, action);
        PQclear(result);
        name = prepared_.insert(sql, made);
    }
    const Values v(params);
    PGresult* result = PQexecPrepared(conn_, name->constData(), int(params.size()), v.values.data(),
                                      v.lengths.data(), nullptr, 0);
    if (succeeded(result))
        return Result(result);
    failWith(result, action);
}

void Connection::copyIn(const char* sql, const QByteArray& data, const QString& action)
{
    copyStart(sql, action);
    copyData(data, action);
    copyEnd(action);
}

void Connection::copyStart(const char* sql, const QString& action)
{
    if (!conn_)
        throw StoreError(StoreError::Kind::Closed, QStringLiteral("The shared collection is not open."));
    PGresult* start = PQexec(conn_, sql);
    if (!start || PQresultStatus(start) != PGRES_COPY_IN)
        failWith(start, action);
    PQclear(start);
}

// A row the server refuses ends the copy there; this side learns it at copyEnd().
void Connection::copyData(const QByteArray& data, const QString& action)
{
    if (PQputCopyData(conn_, data.constData(), int(data.size())) != 1) {
        PQputCopyEnd(conn_, "the data could not be sent");
        copyEnd(action);
        failWith(nullptr, action);
    }
}

void Connection::copyEnd(const QString& action)
{
    PQputCopyEnd(conn_, nullptr);
    // The last result tells how the copy went; the ones before it, if any, are dropped.
    PGresult* last = nullptr;
    while (PGresult* r = PQgetResult(conn_)) {
        if (last)
            PQclear(last);
        last = r;
    }
    if (!succeeded(last))
        failWith(last, action);
    PQclear(last);
}

// In runs between the characters to escape: a character at a time was a tenth of this side's
// work in a copy.
void appendCopyField(QByteArray& row, const Param& value)
{
    if (!value) {
        row += "\\N";
        return;
    }
    const char* run = value->constData();
    const char* const end = run + value->size();
    for (const char* at = run; at < end; ++at) {
        const char c = *at;
        if (c != '\\' && c != '\n' && c != '\r' && c != '\t')
            continue;
        row.append(run, at - run);
        const char escaped[] = {'\\', c == '\n' ? 'n' : c == '\r' ? 'r' : c == '\t' ? 't' : '\\'};
        row.append(escaped, 2);
        run = at + 1;
    }
    row.append(run, end - run);
}

bool Connection::inTransaction() const
{
    return conn_ && PQtransactionStatus(conn_) != PQTRANS_IDLE;
}

void Connection::rollBackQuietly()
{
    if (conn_ && PQstatus(conn_) == CONNECTION_OK && PQtransactionStatus(conn_) == PQTRANS_ACTIVE) {
        // A copy left open by the failure: ended as failed, which fails its transaction.
        PQputCopyEnd(conn_, "abandoned");
        while (PGresult* r = PQgetResult(conn_))
            PQclear(r);
    }
    if (conn_ && PQstatus(conn_) == CONNECTION_OK && inTransaction())
        PQclear(PQexec(conn_, "ROLLBACK"));
}

void Connection::fail(StoreError::Kind kind, const QString& action, const QString& cause) const
{
    throw StoreError(
        kind,
        QStringLiteral("Pantrio could not %1 the shared collection \"%2\": %3.").arg(action, name_, cause));
}

void Connection::failWith(pg_result* result, const QString& action) const
{
    const QByteArray state = result ? QByteArray(PQresultErrorField(result, PG_DIAG_SQLSTATE)) : QByteArray();
    QString said = QString::fromUtf8(result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr);
    if (said.isEmpty())
        said = QString::fromUtf8(PQerrorMessage(conn_)).trimmed();
    if (result)
        PQclear(result);
    if (PQstatus(conn_) != CONNECTION_OK || state.startsWith("08") || state == "57P01" || state == "57P02" ||
        state == "57P03")
        fail(StoreError::Kind::ServerUnreachable, action,
             QStringLiteral("the connection to the server was lost (%1): the server stopped or the network "
                            "went away. Nothing of this was written; the next try connects again")
                 .arg(said));
    if (state == "57014")
        fail(
            StoreError::Kind::Timeout, action,
            QStringLiteral("the server did not finish in time (another program may be holding the recipes, "
                           "or the server is very busy). Nothing of this was written; try again in a while"));
    if (state == "55P03" || state == "40P01" || state == "40001")
        fail(StoreError::Kind::InUse, action,
             QStringLiteral("another program holds the recipes (%1)").arg(said));
    if (state == "42501")
        fail(StoreError::Kind::AccessDenied, action,
             QStringLiteral("the server does not allow this user to do that (%1)").arg(said));
    if (state == "53100")
        fail(StoreError::Kind::DiskFull, action, QStringLiteral("the server's disk is full"));
    if (state == "53200" || state == "53300")
        fail(StoreError::Kind::IoError, action,
             QStringLiteral("the server is out of resources (%1)").arg(said));
    fail(StoreError::Kind::Other, action, said);
}

} // namespace pantrio::pg
