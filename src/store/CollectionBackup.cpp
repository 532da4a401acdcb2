#include "CollectionBackup.h"

#include "Sqlite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <sqlite3.h>

#include <algorithm>

namespace pantrio {

namespace {

const QString BackupAction = QStringLiteral("back up the recipe file to");

[[noreturn]] void folderUnusable(const QString& folder, const char* cause)
{
    throw StoreError(StoreError::Kind::IoError,
                     QStringLiteral("Pantrio could not back up the recipe file to \"%1\": %2.")
                         .arg(QDir::toNativeSeparators(folder), QLatin1String(cause)));
}

// Copies of this collection only: other files in the folder are never pruned.
QRegularExpression copyPattern(const QFileInfo& source)
{
    return QRegularExpression(QStringLiteral("^%1-\\d{4}-\\d\\d-\\d\\d-\\d{6}(-\\d+)?\\.%2$")
                                  .arg(QRegularExpression::escape(source.completeBaseName()),
                                       QRegularExpression::escape(source.suffix())));
}

void prune(const QDir& dir, const QFileInfo& source, int keep)
{
    const QRegularExpression pattern = copyPattern(source);
    QFileInfoList copies;
    for (const QFileInfo& info : dir.entryInfoList(QDir::Files))
        if (pattern.match(info.fileName()).hasMatch())
            copies << info;
    // The name holds the time; a second copy within one second gets "-2" and sorts after.
    std::sort(copies.begin(), copies.end(), [](const QFileInfo& a, const QFileInfo& b) {
        return a.completeBaseName() < b.completeBaseName();
    });
    for (qsizetype i = 0; i + keep < copies.size(); ++i)
        QFile::remove(copies[i].filePath());
}

} // namespace

QString backUpCollection(sqlite3* source, const QString& sourcePath, const QString& folder,
                         const QDateTime& when, int keep)
{
    const QFileInfo sourceInfo(sourcePath);
    if (!QDir().mkpath(folder))
        folderUnusable(folder, "the folder cannot be created");
    const QDir dir(folder);
    const QString stem =
        sourceInfo.completeBaseName() + QLatin1Char('-') + when.toString(QStringLiteral("yyyy-MM-dd-HHmmss"));
    const QString suffix = QLatin1Char('.') + sourceInfo.suffix();
    QString target = dir.filePath(stem + suffix);
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = dir.filePath(stem + QLatin1Char('-') + QString::number(n) + suffix);

    // Written under another name and renamed when complete, so a copy that is there is whole.
    const QString part = target + QStringLiteral(".part");
    const auto removePart = [&] {
        QFile::remove(part);
        QFile::remove(part + QStringLiteral("-journal"));
    };
    removePart();
    sqlite3* copy = nullptr;
    int rc = sqlite3_open_v2(part.toUtf8().constData(), &copy, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                             nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_backup* backup = sqlite3_backup_init(copy, "main", source, "main");
        if (backup) {
            rc = sqlite3_backup_step(backup, -1);
            const int finish = sqlite3_backup_finish(backup);
            rc = rc == SQLITE_DONE ? finish : rc;
        } else {
            rc = sqlite3_errcode(copy);
        }
    }
    sqlite3_close_v2(copy);
    if (rc != SQLITE_OK || !QFile::rename(part, target)) {
        removePart();
        if (rc == SQLITE_OK || (rc & 0xff) == SQLITE_CANTOPEN || (rc & 0xff) == SQLITE_READONLY)
            folderUnusable(folder, "the folder cannot be written to");
        sqlite::fail(rc, BackupAction, folder);
    }
    prune(dir, sourceInfo, keep);
    return target;
}

} // namespace pantrio
