#include "BackupRestore.h"

#include "RecipeSession.h"
#include "store/Sqlite.h"
#include "store/StoreError.h"

#include <algorithm>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

namespace pantrio {

namespace {

int countRecipes(const QString& path)
{
    try {
        sqlite::Database db(path, SQLITE_OPEN_READONLY);
        sqlite::Statement count(db, "SELECT count(*) FROM Recipes", QStringLiteral("read the copy"));
        return count.step() ? int(count.int64(0)) : -1;
    } catch (const StoreError&) {
        return -1;
    }
}

// "Savorix (before restore 2026-12-09 101530).mdb", or with " 2", " 3"... when that exists.
QString keptName(const QString& path)
{
    const QFileInfo info(path);
    const QString stem = QStringLiteral("%1 (before restore %2")
                             .arg(info.completeBaseName(),
                                  QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HHmmss")));
    for (int n = 1;; ++n) {
        const QString name =
            stem + (n > 1 ? QStringLiteral(" %1).").arg(n) : QStringLiteral(").")) + info.suffix();
        const QString candidate = info.dir().filePath(name);
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}

[[noreturn]] void cannotRestore(const QString& why)
{
    throw StoreError(StoreError::Kind::IoError,
                     QStringLiteral("Pantrio could not restore the copy: %1.").arg(why));
}

} // namespace

QList<BackupCopy> listBackups(const QString& folder, const QString& collectionPath)
{
    const QFileInfo collection(collectionPath);
    const QString pattern = QStringLiteral("%1-*.%2").arg(collection.completeBaseName(), collection.suffix());
    QList<BackupCopy> copies;
    const auto files = QDir(folder).entryInfoList({pattern}, QDir::Files, QDir::Name);
    for (const QFileInfo& file : files)
        copies.append({file.absoluteFilePath(), file.lastModified(), countRecipes(file.absoluteFilePath())});
    std::stable_sort(copies.begin(), copies.end(),
                     [](const BackupCopy& a, const BackupCopy& b) { return a.made > b.made; });
    return copies;
}

QString restoreBackup(RecipeSession& session, const QString& path, const QString& backup,
                      const RecipeEdits& edits)
{
    session.close(edits);
    const QString kept = QFileInfo::exists(path) ? keptName(path) : QString();
    // Copied beside the collection first, so that a full disk leaves the collection alone.
    const QString incoming = path + QStringLiteral(".restoring");
    QFile::remove(incoming);
    if (!QFile::copy(backup, incoming)) {
        session.open(path);
        cannotRestore(QStringLiteral("the copy could not be written beside the recipe file"));
    }
    if (!kept.isEmpty() && !QFile::rename(path, kept)) {
        QFile::remove(incoming);
        session.open(path);
        cannotRestore(QStringLiteral("the recipe file could not be renamed"));
    }
    if (!QFile::rename(incoming, path)) {
        if (!kept.isEmpty())
            QFile::rename(kept, path);
        QFile::remove(incoming);
        session.open(path);
        cannotRestore(QStringLiteral("the copy could not be put in its place"));
    }
    if (!session.open(path))
        throw StoreError(StoreError::Kind::IoError, session.openError());
    return kept;
}

} // namespace pantrio
