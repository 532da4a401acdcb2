#pragma once

#include "StoreError.h"

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <QByteArray>
#include <QHash>
#include <QString>
#include <vector>

struct pg_conn;
struct pg_result;

namespace pantrio::pg {

// A statement's parameter in text form; none for NULL.
using Param = std::optional<QByteArray>;
Param param(std::int64_t value);
Param param(const std::optional<QString>& value);

// The result of one statement. Move-only; freed in the destructor.
class Result
{
public:
    explicit Result(pg_result* result = nullptr) : result_(result) {}
    ~Result();
    Result(Result&& other) noexcept;
    Result& operator=(Result&& other) noexcept;
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;

    int rows() const;
    int affected() const; // rows an INSERT, UPDATE or DELETE touched
    bool isNull(int row, int column) const;
    std::optional<QString> text(int row, int column) const;
    std::int64_t int64(int row, int column) const;
    // Raw UTF-8 bytes; valid while the result lives.
    const char* utf8(int row, int column, int* size) const;

private:
    pg_result* result_;
};

// One connection to a database server, opened from a libpq connection string (a URI or
// key=value pairs). Passwords come from ~/.pgpass or libpq's environment, never from here.
// Every statement is parameterised. Failures throw StoreError with a message that names the
// server and the cause.
class Connection
{
public:
    Connection() = default;
    Connection(const QString& conninfo, int timeoutSeconds); // throws StoreError
    ~Connection();
    Connection(Connection&& other) noexcept;
    Connection& operator=(Connection&& other) noexcept;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool isOpen() const { return conn_ != nullptr; }
    // Open, but the server is gone: a command failed because the connection was lost.
    bool isBroken() const;
    // The database and server as the user knows them, for messages.
    const QString& name() const { return name_; }

    // `action` words the error ("save the recipe to").
    Result exec(const char* sql, const std::vector<Param>& params, const QString& action);
    Result exec(const char* sql, std::initializer_list<Param> params, const QString& action);
    Result exec(const char* sql, const QString& action) { return exec(sql, std::vector<Param>{}, action); }
    // The same, prepared on this connection at its first use and then only executed: for the
    // statements a window or an import runs again and again. A new connection prepares anew.
    Result run(const QByteArray& sql, const std::vector<Param>& params, const QString& action);
    // Sends `data` (COPY's text format, rows whole) to `sql`, a COPY ... FROM STDIN.
    void copyIn(const char* sql, const QByteArray& data, const QString& action);
    // The same in steps, the copy left open between them: the server stores rows while this side
    // makes the next ones. Nothing else may run on the connection until copyEnd().
    void copyStart(const char* sql, const QString& action);
    void copyData(const QByteArray& data, const QString& action);
    void copyEnd(const QString& action);
    bool inTransaction() const;
    // Ends an open transaction without a word, as cleanup after a failure.
    void rollBackQuietly();
    void close();

    [[noreturn]] void fail(StoreError::Kind kind, const QString& action, const QString& cause) const;

private:
    [[noreturn]] void failWith(pg_result* result, const QString& action) const;

    pg_conn* conn_ = nullptr;
    QString name_;
    QHash<QByteArray, QByteArray> prepared_; // statement text to its name on this connection
};

// Integers as one array parameter (`$n::bigint[]`, `$n::integer[]`).
template <typename Integers> QByteArray integerArray(const Integers& values)
{
    QByteArray out = "{";
    for (const auto v : values)
        out += (out.size() > 1 ? "," : "") + QByteArray::number(qint64(v));
    return out + '}';
}

// Appends `value` to a row of COPY's text format: NULL as \N, the separators escaped.
void appendCopyField(QByteArray& row, const Param& value);

// The user-facing name of a connection string: database and host, never a password.
QString describe(const QString& conninfo);

} // namespace pantrio::pg
