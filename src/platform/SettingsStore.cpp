#include "SettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace pantrio {

IniSettingsStore::IniSettingsStore(QString folder) : folder_(std::move(folder)) {}

QString IniSettingsStore::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Pantrio");
}

QString IniSettingsStore::fileFor(const QString& app) const
{
    return QDir(folder_).filePath(app + QStringLiteral(".ini"));
}

QString IniSettingsStore::read(const QString& app, const QString& section, const QString& key,
                               const QString& fallback) const
{
    const QString file = fileFor(app);
    if (!QFileInfo::exists(file))
        return fallback;
    QSettings ini(file, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError)
        return fallback;
    ini.beginGroup(section);
    const QVariant v = ini.value(key);
    return v.isValid() ? v.toString() : fallback;
}

bool IniSettingsStore::write(const QString& app, const QString& section, const QString& key,
                             const QString& value)
{
    if (!QDir().mkpath(folder_))
        return false;
    QSettings ini(fileFor(app), QSettings::IniFormat);
    ini.beginGroup(section);
    ini.setValue(key, value);
    ini.endGroup();
    ini.sync();
    return ini.status() == QSettings::NoError && ini.isWritable();
}

bool IniSettingsStore::deleteSection(const QString& app, const QString& section)
{
    const QString file = fileFor(app);
    if (!QFileInfo::exists(file))
        return true;
    QSettings ini(file, QSettings::IniFormat);
    ini.remove(section);
    ini.sync();
    return ini.status() == QSettings::NoError && ini.isWritable();
}

} // namespace pantrio
