#include "CollectionFile.h"

#include "RecipeFields.h"
#include "StoreError.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <sqlite3.h>
#include <sys/stat.h>

namespace pantrio {

namespace {

const QString OpenAction = QStringLiteral("open the recipe file");

[[noreturn]] void openFailure(StoreError::Kind kind, const QString& path, const QString& cause)
{
    throw StoreError(kind, QStringLiteral("Pantrio could not open the recipe file \"%1\": %2.")
                               .arg(QDir::toNativeSeparators(path), cause));
}

// Catches what the engine would only call "not a database", with a more helpful cause.
void checkFileKind(const QString& path)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        openFailure(StoreError::Kind::FileMissing, path, QStringLiteral("the file does not exist"));
    // Checked before reading: opening a pipe would wait for a writer forever.
    if (S_ISDIR(info.st_mode))
        openFailure(StoreError::Kind::NotADatabase, path, QStringLiteral("it is a folder, not a file"));
    if (S_ISFIFO(info.st_mode))
        openFailure(StoreError::Kind::NotADatabase, path, QStringLiteral("it is a named pipe, not a file"));
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))
        openFailure(StoreError::Kind::NotADatabase, path, QStringLiteral("it is a device, not a file"));
    if (!S_ISREG(info.st_mode))
        openFailure(StoreError::Kind::NotADatabase, path, QStringLiteral("it is not an ordinary file"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        openFailure(StoreError::Kind::IoError, path,
                    QStringLiteral("the file cannot be read (%1)").arg(file.errorString()));
    const QByteArray head = file.read(100);
    if (head.isEmpty())
        openFailure(StoreError::Kind::NotADatabase, path,
                    QStringLiteral("the file is empty, not a recipe database"));
    if (head.mid(4, 15) == "Standard Jet DB" || head.mid(4, 15) == "Standard ACE DB")
        openFailure(StoreError::Kind::NotADatabase, path,
                    QStringLiteral("it is a Microsoft Access database, which Pantrio cannot read"));
    if (!head.startsWith(QByteArray("SQLite format 3\0", 16)))
        openFailure(StoreError::Kind::NotADatabase, path,
                    QStringLiteral("the file is not a recipe database"));
    if (head.size() < 100)
        openFailure(StoreError::Kind::Damaged, path, QStringLiteral("the file is damaged (it is cut short)"));
}

void checkSchema(sqlite::Database& db, const QString& path)
{
    {
        sqlite::Statement table(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'Recipes'",
                                OpenAction);
        if (!table.step())
            openFailure(StoreError::Kind::TableMissing, path, QStringLiteral("it holds no table of recipes"));
    }
    sqlite::Statement columns(db, "PRAGMA table_info(\"Recipes\")", OpenAction);
    QStringList present;
    while (columns.step())
        present << columns.text(1).value_or(QString());
    QStringList missing;
    for (Field f : allFields)
        if (!present.contains(QLatin1StringView(columnName(f)), Qt::CaseInsensitive))
            missing << QLatin1StringView(columnName(f));
    if (!missing.isEmpty())
        openFailure(
            StoreError::Kind::TableMissing, path,
            QStringLiteral("the recipe table lacks the field(s) %1").arg(missing.join(QStringLiteral(", "))));
}

} // namespace

sqlite::Database openCollectionFile(const QString& path, OpenMode mode, int busyTimeoutMs)
{
    checkFileKind(path);
    // Serialized: the search index loads through this connection on a worker thread.
    sqlite::Database db(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX);
    sqlite3_busy_timeout(db.handle(), busyTimeoutMs);
    if (mode == OpenMode::Exclusive) {
        // Taking the write lock once in exclusive locking mode keeps it until the file is closed,
        // so no other program can read or write meanwhile. A read-only file can only be held
        // against writers.
        db.exec("PRAGMA locking_mode = EXCLUSIVE", OpenAction);
        if (!db.readOnly())
            db.exec("BEGIN EXCLUSIVE; COMMIT;", OpenAction);
        db.expectSoleWriter();
    }
    checkSchema(db, path);
    return db;
}

} // namespace pantrio
