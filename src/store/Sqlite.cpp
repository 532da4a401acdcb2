#include "Sqlite.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <sqlite3.h>
#include <sys/stat.h>

namespace pantrio::sqlite {

StoreError::Kind kindOf(int code)
{
    switch (code & 0xff) {
    case SQLITE_CANTOPEN:
        return StoreError::Kind::FileMissing;
    case SQLITE_NOTADB:
        return StoreError::Kind::NotADatabase;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return StoreError::Kind::InUse;
    case SQLITE_READONLY:
        return StoreError::Kind::ReadOnly;
    case SQLITE_FULL:
        return StoreError::Kind::DiskFull;
    case SQLITE_CORRUPT:
        return StoreError::Kind::Damaged;
    case SQLITE_IOERR:
        return StoreError::Kind::IoError;
    default:
        return StoreError::Kind::Other;
    }
}

static QString causeOf(int code, const char* detail)
{
    switch (code & 0xff) {
    case SQLITE_CANTOPEN:
        return QStringLiteral("the file cannot be opened");
    case SQLITE_NOTADB:
        return QStringLiteral("the file is not a recipe database");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("the file is in use by another program");
    case SQLITE_READONLY:
        if (code == SQLITE_READONLY_DIRECTORY)
            return QStringLiteral("the folder that holds it is read-only, so no change can be saved there");
        return QStringLiteral("the file is read-only");
    case SQLITE_FULL:
        return QStringLiteral("the disk is full");
    case SQLITE_CORRUPT:
        return QStringLiteral("the file is damaged");
    case SQLITE_IOERR:
        return QStringLiteral("the disk could not be read or written");
    case SQLITE_TOOBIG:
        return QStringLiteral("the text is too long to store");
    case SQLITE_NOMEM:
        return QStringLiteral("the computer ran out of memory");
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
        sqlite::fail(rc, QStringLiteral("open"), path, detail.toUtf8().constData());
    }
    sqlite3_extended_result_codes(db_, 1);
    // A statement that fires triggers keeps the pages it may have to put back; spilled to a
    // temporary file that costs several writes of a whole page for every recipe imported.
    sqlite3_exec(db_, "PRAGMA temp_store = MEMORY", nullptr, nullptr, nullptr);
    known_ = stateOf(path_);
}

Database::~Database()
{
    close();
}

Database::Database(Database&& other) noexcept
    : db_(other.db_), path_(std::move(other.path_)), known_(std::move(other.known_)),
      soleWriter_(other.soleWriter_)
{
    other.db_ = nullptr;
}

Database& Database::operator=(Database&& other) noexcept
{
    if (this != &other) {
        close();
        db_ = other.db_;
        path_ = std::move(other.path_);
        known_ = std::move(other.known_);
        soleWriter_ = other.soleWriter_;
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
    checkUnchanged(action);
    char* error = nullptr;
    const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        const QByteArray detail = error ? QByteArray(error) : QByteArray();
        sqlite3_free(error);
        fail(rc, action, detail.constData());
    }
    noteOwnWrite();
}

std::optional<Database::FileState> Database::stateOf(const QString& path)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return FileState{std::uint64_t(info.st_dev), std::uint64_t(info.st_ino), std::int64_t(info.st_size),
                     std::int64_t(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

namespace {

// The index loads on another thread through the same connection: what this connection
// remembers of its file is guarded by the connection's own (recursive) mutex.
class HeldMutex
{
public:
    explicit HeldMutex(sqlite3* db) : mutex_(sqlite3_db_mutex(db)) { sqlite3_mutex_enter(mutex_); }
    ~HeldMutex() { sqlite3_mutex_leave(mutex_); }
    HeldMutex(const HeldMutex&) = delete;
    HeldMutex& operator=(const HeldMutex&) = delete;

private:
    sqlite3_mutex* mutex_;
};

} // namespace

void Database::noteOwnWrite()
{
    const HeldMutex held(db_);
    // Inside a transaction the file is not final yet; the commit is noted when it ends. A file
    // that is gone or has another in its place is not ours to adopt: failures still say so.
    if (!known_ || !sqlite3_get_autocommit(db_))
        return;
    const std::optional<FileState> now = stateOf(path_);
    if (now && now->device == known_->device && now->inode == known_->inode)
        known_ = now;
}

void Database::checkUnchanged(const QString& action) const
{
    const HeldMutex held(db_);
    // Checked before a transaction starts: within one, the engine may write out pages itself.
    if (soleWriter_ && known_ && sqlite3_get_autocommit(db_) && stateOf(path_) != known_)
        fail(SQLITE_CORRUPT, action);
}

void Database::fail(int code, const QString& action, const char* detail) const
{
    std::optional<FileState> known;
    {
        const HeldMutex held(db_);
        known = known_;
    }
    if (known) {
        const std::optional<FileState> now = stateOf(path_);
        const QString file = QDir::toNativeSeparators(path_);
        if (!now)
            throw StoreError(StoreError::Kind::FileMissing,
                             QStringLiteral("Pantrio could not %1 \"%2\": the file was moved or deleted "
                                            "while Pantrio had it open.")
                                 .arg(action, file));
        const bool replaced = now->device != known->device || now->inode != known->inode;
        // The engine reads someone else's bytes as damage or as a missing table.
        const int primary = code & 0xff;
        // A write that failed (a size limit, a failing stick) changed the file itself.
        const bool ownWriteFailed = code == SQLITE_IOERR_WRITE || code == SQLITE_IOERR_FSYNC ||
                                    code == SQLITE_IOERR_TRUNCATE || code == SQLITE_IOERR_DIR_FSYNC;
        const bool unreadable = (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB ||
                                 primary == SQLITE_ERROR || primary == SQLITE_IOERR) &&
                                !ownWriteFailed;
        if (replaced || (unreadable && *now != *known))
            throw StoreError(StoreError::Kind::Overwritten,
                             QStringLiteral("Pantrio could not %1 \"%2\": another program overwrote the file "
                                            "while Pantrio had it open.")
                                 .arg(action, file));
    }
    sqlite::fail(code, action, path_, detail);
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
        db_.fail(rc, action_, sqlite3_errmsg(db.handle()));
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
        db_.fail(rc, action_, sqlite3_errmsg(db_.handle()));
}

bool Statement::step()
{
    if (!sqlite3_stmt_readonly(stmt_))
        db_.checkUnchanged(action_);
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE) {
        if (!sqlite3_stmt_readonly(stmt_))
            db_.noteOwnWrite();
        return false;
    }
    const QByteArray detail = sqlite3_errmsg(db_.handle());
    sqlite3_reset(stmt_);
    db_.fail(rc, action_, detail.constData());
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

void Statement::bindText(int index, std::string_view utf8)
{
    const int rc = sqlite3_bind_text64(stmt_, index, utf8.data(), sqlite3_uint64(utf8.size()),
                                       SQLITE_TRANSIENT, SQLITE_UTF8);
    if (rc != SQLITE_OK)
        db_.fail(rc, action_, sqlite3_errmsg(db_.handle()));
}

void Statement::bindBlob(int index, std::string_view bytes)
{
    const int rc =
        sqlite3_bind_blob64(stmt_, index, bytes.data(), sqlite3_uint64(bytes.size()), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK)
        db_.fail(rc, action_, sqlite3_errmsg(db_.handle()));
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

ConnectionLock::ConnectionLock(Database& db) : mutex_(sqlite3_db_mutex(db.handle()))
{
    sqlite3_mutex_enter(mutex_);
}

ConnectionLock::~ConnectionLock()
{
    if (held_)
        sqlite3_mutex_leave(mutex_);
}

void ConnectionLock::unlock()
{
    sqlite3_mutex_leave(mutex_);
    held_ = false;
}

void ConnectionLock::relock()
{
    sqlite3_mutex_enter(mutex_);
    held_ = true;
}

std::string_view Statement::blob(int column) const
{
    const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
    const int size = sqlite3_column_bytes(stmt_, column);
    return data ? std::string_view(data, std::size_t(size)) : std::string_view();
}

} // namespace pantrio::sqlite
