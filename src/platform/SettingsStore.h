#pragma once

#include <QString>

namespace pantrio {

// Per-user string settings addressed by application, section and key.
class SettingsStore
{
public:
    virtual ~SettingsStore() = default;

    // A value that does not exist, or a store that cannot be read, yields `fallback`.
    virtual QString read(const QString& app, const QString& section, const QString& key,
                         const QString& fallback = QString()) const = 0;
    // False when the value could not be stored.
    virtual bool write(const QString& app, const QString& section, const QString& key,
                       const QString& value) = 0;
    // Removes the section with all its keys. False when the store could not be changed.
    virtual bool deleteSection(const QString& app, const QString& section) = 0;
};

// One INI file per application in `folder`; sections are INI groups.
class IniSettingsStore final : public SettingsStore
{
public:
    explicit IniSettingsStore(QString folder);

    // The user's configuration folder for this program.
    static QString defaultFolder();

    QString read(const QString& app, const QString& section, const QString& key,
                 const QString& fallback = QString()) const override;
    bool write(const QString& app, const QString& section, const QString& key,
               const QString& value) override;
    bool deleteSection(const QString& app, const QString& section) override;

    QString fileFor(const QString& app) const;

private:
    QString folder_;
};

} // namespace pantrio
