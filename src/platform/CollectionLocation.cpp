#include "CollectionLocation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace pantrio {

namespace {

const QString collectionName = QStringLiteral("Savorix.mdb");
const QString introductionName = QStringLiteral("intro.rtf");

QString inFolder(const QString& folder, const QString& name)
{
    return QDir(folder).filePath(name);
}

} // namespace

CollectionLocation CollectionLocation::choose(const CollectionFolders& folders, const WritableTest& writable)
{
    CollectionLocation where;
    const QString beside = inFolder(folders.program, collectionName);
    // Root may write /usr/bin, but an installed copy's recipes never go there.
    if (!isSystemProgramFolder(folders.program) && (QFileInfo::exists(beside) || writable(folders.program))) {
        where.collection = beside;
    } else {
        where.collection = inFolder(folders.userData, collectionName);
        if (!folders.installedData.isEmpty())
            where.sample = inFolder(folders.installedData, collectionName);
    }

    where.introduction = inFolder(folders.program, introductionName);
    if (!QFileInfo::exists(where.introduction) && !folders.installedData.isEmpty()) {
        const QString installed = inFolder(folders.installedData, introductionName);
        if (QFileInfo::exists(installed))
            where.introduction = installed;
    }
    return where;
}

bool CollectionLocation::provideSample() const
{
    // A dangling link counts as existing too: it is the user's, not ours to replace.
    if (sample.isEmpty() || QFileInfo(collection).exists() || QFileInfo(collection).isSymLink())
        return true;
    if (!QFileInfo::exists(sample))
        return false;
    if (!QDir().mkpath(QFileInfo(collection).absolutePath()))
        return false;
    // QFile::copy refuses an existing target, so a file that appeared meanwhile survives too.
    if (!QFile::copy(sample, collection))
        return false;
    // The shipped file is read-only; the user's copy is to be written.
    QFile(collection)
        .setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    return true;
}

bool isSystemProgramFolder(const QString& folder)
{
    static const QStringList system = {QStringLiteral("/bin"),
                                       QStringLiteral("/sbin"),
                                       QStringLiteral("/usr/bin"),
                                       QStringLiteral("/usr/sbin"),
                                       QStringLiteral("/usr/games"),
                                       QStringLiteral("/usr/local/bin"),
                                       QStringLiteral("/usr/local/sbin"),
                                       QStringLiteral("/usr/local/games")};
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    const QString path = QDir::cleanPath(canonical.isEmpty() ? folder : canonical);
    if (system.contains(path))
        return true;
    // A package of its own under /opt, as /opt/pantrio/bin.
    return path.startsWith(QLatin1String("/opt/")) && path.endsWith(QLatin1String("/bin"));
}

bool folderIsWritable(const QString& folder)
{
    return ::access(QFile::encodeName(folder).constData(), W_OK) == 0;
}

QString userDataFolder()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::home().filePath(QStringLiteral(".local/share"));
    return QDir(base).filePath(QStringLiteral("Pantrio"));
}

} // namespace pantrio
