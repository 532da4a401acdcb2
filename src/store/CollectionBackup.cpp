#include "CollectionBackup.h"

#include "Sqlite.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pantrio {

namespace {

const QString BackupAction = QStringLiteral("back up the recipe file to");

[[noreturn]] void folderUnusable(const QString& folder, const char* cause)
{
    throw StoreError(StoreError::Kind::IoError,
                     QStringLiteral("Pantrio could not back up the recipe file to \"%1\": %2.")
                         .arg(QDir::toNativeSeparators(folder), QLatin1String(cause)));
}

QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}

// The folder, created private if missing. Copies of the user's recipes go only into a folder of
// the user's own: a link to somebody else's folder, or another user's folder, is refused.
void prepareFolder(const QString& folder)
{
    if (!QDir().mkpath(QFileInfo(folder).absolutePath()))
        folderUnusable(folder, "the folder cannot be created");
    struct stat info{};
    if (::lstat(encoded(folder).constData(), &info) != 0) {
        if (::mkdir(encoded(folder).constData(), 0700) != 0 && errno != EEXIST)
            folderUnusable(folder, "the folder cannot be created");
        if (::lstat(encoded(folder).constData(), &info) != 0)
            folderUnusable(folder, "the folder cannot be created");
    }
    const bool link = S_ISLNK(info.st_mode);
    if (link && ::stat(encoded(folder).constData(), &info) != 0)
        folderUnusable(folder, "it is a link to a folder that does not exist");
    if (!S_ISDIR(info.st_mode))
        folderUnusable(folder, "the folder cannot be created");
    if (info.st_uid != ::geteuid())
        folderUnusable(folder, link ? "it is a link to a folder that belongs to another user"
                                    : "the folder belongs to another user");
    // Made by an earlier version with the usual permissions: only the user reads the copies.
    if (!link && (info.st_mode & 077) != 0)
        ::chmod(encoded(folder).constData(), 0700);
}

// One copy of this collection: when it was made, and its place among copies of the same second.
struct Copy
{
    QString stamp; // yyyy-MM-dd-HHmmss, which sorts as the times do
    int sequence;  // 1 for the first of that second (no suffix), then 2, 3, ...
    QString path;
    auto key() const { return std::pair(stamp, sequence); }
};

// Copies of this collection only: other files in the folder are never pruned.
std::vector<Copy> copiesIn(const QDir& dir, const QFileInfo& source)
{
    const QRegularExpression pattern(QStringLiteral("^%1-(\\d{4}-\\d\\d-\\d\\d-\\d{6})(?:-(\\d{1,9}))?\\.%2$")
                                         .arg(QRegularExpression::escape(source.completeBaseName()),
                                              QRegularExpression::escape(source.suffix())));
    std::vector<Copy> copies;
    for (const QFileInfo& info : dir.entryInfoList(QDir::Files))
        if (const auto m = pattern.match(info.fileName()); m.hasMatch())
            copies.push_back({m.captured(1), m.hasCaptured(2) ? m.captured(2).toInt() : 1, info.filePath()});
    // By the time in the name, then by the number: "-10" came after "-2".
    std::sort(copies.begin(), copies.end(), [](const Copy& a, const Copy& b) { return a.key() < b.key(); });
    return copies;
}

// A name no copy of that second has had yet: a number above the highest of them, two digits
// wide, so that names also list in the order they were made.
QString nameFor(const std::vector<Copy>& copies, const QFileInfo& source, const QString& stamp)
{
    int highest = 0;
    for (const Copy& c : copies)
        if (c.stamp == stamp)
            highest = std::max(highest, c.sequence);
    QString name = source.completeBaseName() + QLatin1Char('-') + stamp;
    if (highest > 0)
        name += QStringLiteral("-%1").arg(highest + 1, 2, 10, QLatin1Char('0'));
    return name + QLatin1Char('.') + source.suffix();
}

// The copy just made is always kept, whatever the clock said; of the others, the newest.
void prune(const QDir& dir, const QFileInfo& source, const QString& made, int keep)
{
    std::vector<Copy> copies = copiesIn(dir, source);
    std::erase_if(copies, [&](const Copy& c) { return c.path == made; });
    for (std::size_t i = 0; i + std::size_t(std::max(keep - 1, 0)) < copies.size(); ++i)
        QFile::remove(copies[i].path);
}

// Private while it is written; the collection's own permissions once whole.
bool createPrivately(const QString& part)
{
    const int fd =
        ::open(encoded(part).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

int copyInto(sqlite3* source, const QString& part)
{
    sqlite3* copy = nullptr;
    int rc = sqlite3_open_v2(part.toUtf8().constData(), &copy, SQLITE_OPEN_READWRITE, nullptr);
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
    return rc;
}

} // namespace

QString backUpCollection(sqlite3* source, const QString& sourcePath, const QString& folder,
                         const QDateTime& when, int keep)
{
    const QFileInfo sourceInfo(sourcePath);
    prepareFolder(folder);
    const QDir dir(folder);
    const QString target = dir.filePath(
        nameFor(copiesIn(dir, sourceInfo), sourceInfo, when.toString(QStringLiteral("yyyy-MM-dd-HHmmss"))));

    // Written under another name and renamed when complete, so a copy that is there is whole.
    const QString part = target + QStringLiteral(".part");
    const auto removePart = [&] {
        QFile::remove(part);
        QFile::remove(part + QStringLiteral("-journal"));
    };
    removePart();
    const int rc = createPrivately(part) ? copyInto(source, part) : SQLITE_CANTOPEN;
    struct stat sourceStat{};
    const bool done = rc == SQLITE_OK && ::stat(encoded(sourcePath).constData(), &sourceStat) == 0 &&
                      ::chmod(encoded(part).constData(), sourceStat.st_mode & 0777) == 0 &&
                      !QFileInfo::exists(target) && QFile::rename(part, target);
    if (!done) {
        removePart();
        if (rc == SQLITE_OK || (rc & 0xff) == SQLITE_CANTOPEN || (rc & 0xff) == SQLITE_READONLY)
            folderUnusable(folder, "the folder cannot be written to");
        sqlite::fail(rc, BackupAction, folder);
    }
    prune(dir, sourceInfo, target, keep);
    return target;
}

} // namespace pantrio
