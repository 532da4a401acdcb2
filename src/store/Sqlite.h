#pragma once

#include "StoreError.h"

#include <cstdint>
#include <optional>
#include <QByteArray>
#include <QString>
#include <string_view>

struct sqlite3;
struct sqlite3_mutex;
struct sqlite3_stmt;

namespace pantrio::sqlite {

// Turns an engine result code into a StoreError whose message names the file and the cause.
[[noreturn]] void fail(int code, const QString& action, const QString& file, const char* detail = nullptr);
StoreError::Kind kindOf(int code);

// One open connection. Move-only; closing happens in the destructor.
class Database
{
public:
    Database() = default;
    Database(const QString& path, int flags); // throws StoreError
    ~Database();
    Database(Database&& other) noexcept;
    Database& operator=(Database&& other) noexcept;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    sqlite3* handle() const { return db_; }
    const QString& path() const { return path_; }
    bool isOpen() const { return db_ != nullptr; }

    // Runs statements without results; `action` words the error ("open", "save the recipe to").
    void exec(const char* sql, const QString& action);
    // Like sqlite::fail, but first asks whether the file itself changed under the connection:
    // the engine calls a moved file read-only and an overwritten one damaged.
    [[noreturn]] void fail(int code, const QString& action, const char* detail = nullptr) const;
    // Takes the file as it is now as this connection's own, after each change it commits.
    void noteOwnWrite();
    // While no other program may write the file (exclusive locking), any change this connection
    // did not make is someone else's bytes: writes are then refused rather than mixed in.
    void expectSoleWriter() { soleWriter_ = true; }
    void checkUnchanged(const QString& action) const;
    std::int64_t lastInsertRowid() const;
    int changes() const;
    bool readOnly() const;
    void close();

private:
    struct FileState
    {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::int64_t size = -1;
        std::int64_t modifiedNs = -1;
        bool operator==(const FileState&) const = default;
    };
    static std::optional<FileState> stateOf(const QString& path);

    sqlite3* db_ = nullptr;
    QString path_;
    std::optional<FileState> known_; // the file as this connection last left it
    bool soleWriter_ = false;
};

// A prepared statement, reset on destruction so it never holds a read lock longer than needed.
class Statement
{
public:
    Statement(Database& db, const char* sql, const QString& action);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void bind(int index, std::int64_t value);
    void bind(int index, const std::optional<QString>& value);
    void bindBlob(int index, std::string_view bytes); // copied
    void bindText(int index, std::string_view utf8);  // copied
    // True while a row is available; throws on error.
    bool step();
    void reset();

    std::int64_t int64(int column) const;
    std::optional<QString> text(int column) const;
    // Raw UTF-8 bytes of a text column; valid until the next step.
    const char* utf8(int column, int* size) const;
    // Raw bytes of a blob column (empty for no value); valid until the next step.
    std::string_view blob(int column) const;

private:
    Database& db_;
    sqlite3_stmt* stmt_ = nullptr;
    QString action_;
};

// Holds a serialized connection's own mutex, so that several calls from one thread run as one
// while a worker shares the connection.
class ConnectionLock
{
public:
    explicit ConnectionLock(Database& db);
    ~ConnectionLock();
    ConnectionLock(const ConnectionLock&) = delete;
    ConnectionLock& operator=(const ConnectionLock&) = delete;
    void unlock();
    void relock();

private:
    sqlite3_mutex* mutex_;
    bool held_ = true;
};

} // namespace pantrio::sqlite
