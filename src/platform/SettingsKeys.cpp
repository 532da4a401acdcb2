#include "SettingsKeys.h"

#include "SettingsStore.h"

namespace pantrio {

namespace {

QString read(const SettingsStore& settings, const SettingsKey& key)
{
    return settings.read(key.app, key.section, key.name, QString());
}

bool write(SettingsStore& settings, const SettingsKey& key, const QString& value)
{
    return settings.write(key.app, key.section, key.name, value);
}

} // namespace

QString firstRunFlag(const SettingsStore& settings)
{
    return read(settings, FirstRunKey);
}

bool setFirstRunFlag(SettingsStore& settings, const QString& value)
{
    return write(settings, FirstRunKey, value);
}

QString savedSearchText(const SettingsStore& settings, const SettingsKey& key)
{
    return read(settings, key);
}

bool saveSearchText(SettingsStore& settings, const QString& text, const SettingsKey& key)
{
    return write(settings, key, text);
}

QString readSetting(const SettingsStore& settings, const SettingsKey& key)
{
    return read(settings, key);
}

bool writeSetting(SettingsStore& settings, const SettingsKey& key, const QString& value)
{
    return write(settings, key, value);
}

bool forgetSavedSearch(SettingsStore& settings)
{
    return settings.deleteSection(SavedSearchKey.app, SavedSearchKey.section);
}

} // namespace pantrio
