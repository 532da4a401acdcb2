#include "ProgramInfo.h"

#include <QDir>

namespace pantrio {

QString ProgramInfo::pathOf(const QString& fileName) const
{
    return folder + QDir::separator() + fileName;
}

QString ProgramInfo::collectionPath() const
{
    return collectionFile.isEmpty() ? pathOf(QStringLiteral("Savorix.mdb")) : collectionFile;
}

QString ProgramInfo::introductionPath() const
{
    return introductionFile.isEmpty() ? pathOf(QStringLiteral("intro.rtf")) : introductionFile;
}

ProgramInfo ProgramInfo::forThisBuild(const QString& folder)
{
    ProgramInfo info;
    info.title = QStringLiteral("Veltrane's Pantrio");
    info.major = PANTRIO_VERSION_MAJOR;
    info.minor = PANTRIO_VERSION_MINOR;
    info.revision = PANTRIO_VERSION_REVISION;
    info.description = QStringLiteral(
        "Pantrio is a great program for storing all your recipes into one database. It allows you to keep "
        "up to 10,000 recipes in one place, right at your fingertips.");
    info.legalNotice = QStringLiteral("Copyright \u00A9 Veltrane Software. All rights reserved.");
    info.folder = folder;
    return info;
}

} // namespace pantrio
