#include "Sqlite.h"

#include <QCoreApplication>
#include <QDir>

#include <sqlite3.h>

namespace pantrio::sqlite {

StoreError::Kind kindOf(int code)
{
    switch (code & 0xff) {
    case SQLITE_CANTOPEN: return StoreError::Kind::FileMissing;
    case SQLITE_NOTADB: return StoreError::Kind::NotADatabase;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return StoreError::Kind::InUse;
    case SQLITE_READONLY: return StoreError::Kind::ReadOnly;
    case SQLITE_FULL: return StoreError::Kind::DiskFull;
    case SQLITE_CORRUPT: return StoreError::Kind::Damaged;
    case SQLITE_IOERR: return StoreError::Kind::IoError;
    default: return StoreError::Kind::Other;
    }
}

static QString causeOf(int code, const char* detail)
{
    switch (code & 0xff) {
    case SQLITE_CANTOPEN: return QStringLiteral("the file cannot be opened");
    case SQLITE_NOTADB: return QStringLiteral("the file is not a recipe database");
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return QStringLiteral("the file is in use by another program");
    case SQLITE_READONLY: return QStringLiteral("the file is read-only");
    case SQLITE_FULL: return QStringLiteral("the disk is full");
    case SQLITE_CORRUPT: return QStringLiteral("the file is damaged");
    case SQLITE_IOERR: return QStringLiteral("the disk could not be read or written");
    case SQLITE_TOOBIG: return QStringLiteral("the text is too long to store");
    case SQLITE_NOMEM: return QStringLiteral("the computer ran out of memory");
    default:
        return detail && *detail ? QString::fromUtf8(detail) : QString::fromUtf8(sqlite3_errstr(code));
    }
}

void fail(int code, const QString& action, const QString& file, const char* detail)
{
    throw StoreError(kindOf(code), QStringLiteral("Pantrio could not %1 \"%2\": %3.")
                                       .arg(action, QDir::toNativeSeparators(file), causeOf(code, detail)));
}

Database::Database(const QString& path, int flags) : path_(path)
{
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString detail = db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QString();
        sqlite3_close_v2(db_);
        db_ = nullptr;
        fail(rc, QStringLiteral("open"), path, detail.toUtf8().constData());
    }
    sqlite3_extended_result_codes(db_, 1);
}

Database::~Database()
{
    close();
}

Database::Database(Database&& other) noexcept : db_(other.db_), path_(std::move(other.path_))
{
    other.db_ = nullptr;
}

Database& Database::operator=(Database&& other) noexcept
{
    if (this != &other) {
        close();
        db_ = other.db_;
        path_ = std::move(other.path_);
        other.db_ = nullptr;
    }
    return *this;
}

void Database::close()
{
    if (db_) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

void Database::exec(const char* sql, const QString& action)
{
    char* error = nullptr;
    const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        const QByteArray detail = error ? QByteArray(error) : QByteArray();
        sqlite3_free(error);
        fail(rc, action, path_, detail.constData());
    }
}

std::int64_t Database::lastInsertRowid() const
{
    return sqlite3_last_insert_rowid(db_);
}

int Database::changes() const
{
    return sqlite3_changes(db_);
}

bool Database::readOnly() const
{
    return sqlite3_db_readonly(db_, "main") == 1;
}

Statement::Statement(Database& db, const char* sql, const QString& action) : db_(db), action_(action)
{
    const int rc = sqlite3_prepare_v2(db.handle(), sql, -1, &stmt_, nullptr);
    if (rc != SQLITE_OK)
        fail(rc, action_, db_.path(), sqlite3_errmsg(db.handle()));
}

Statement::~Statement()
{
    sqlite3_finalize(stmt_);
}

void Statement::bind(int index, std::int64_t value)
{
    sqlite3_bind_int64(stmt_, index, value);
}

void Statement::bind(int index, const std::optional<QString>& value)
{
    if (!value) {
        sqlite3_bind_null(stmt_, index);
        return;
    }
    const QByteArray utf8 = value->toUtf8();
    const int rc = sqlite3_bind_text64(stmt_, index, utf8.constData(), sqlite3_uint64(utf8.size()),
                                       SQLITE_TRANSIENT, SQLITE_UTF8);
    if (rc != SQLITE_OK)
        fail(rc, action_, db_.path(), sqlite3_errmsg(db_.handle()));
}

bool Statement::step()
{
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    const QByteArray detail = sqlite3_errmsg(db_.handle());
    sqlite3_reset(stmt_);
    fail(rc, action_, db_.path(), detail.constData());
}

void Statement::reset()
{
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

std::int64_t Statement::int64(int column) const
{
    return sqlite3_column_int64(stmt_, column);
}

std::optional<QString> Statement::text(int column) const
{
    if (sqlite3_column_type(stmt_, column) == SQLITE_NULL)
        return std::nullopt;
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    const int size = sqlite3_column_bytes(stmt_, column);
    return QString::fromUtf8(data, size);
}

const char* Statement::utf8(int column, int* size) const
{
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    *size = sqlite3_column_bytes(stmt_, column);
    return data;
}

} // namespace pantrio::sqlite
