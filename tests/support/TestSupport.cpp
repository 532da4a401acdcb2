#include "TestSupport.h"

#include "store/Postgres.h"
#include "store/RecipeTable.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QUrl>

namespace pantrio::test {

static QString joinKey(const QString& app, const QString& section, const QString& key)
{
    return app + QLatin1Char('/') + section + QLatin1Char('/') + key;
}

QString FakeSettingsStore::read(const QString& app, const QString& section, const QString& key,
                                const QString& fallback) const
{
    return values.value(joinKey(app, section, key), fallback);
}

bool FakeSettingsStore::write(const QString& app, const QString& section, const QString& key,
                              const QString& value)
{
    if (failWrites)
        return false;
    values.insert(joinKey(app, section, key), value);
    return true;
}

bool FakeSettingsStore::deleteSection(const QString& app, const QString& section)
{
    if (failWrites)
        return false;
    const QString prefix = app + QLatin1Char('/') + section + QLatin1Char('/');
    for (auto it = values.begin(); it != values.end();) {
        if (it.key().startsWith(prefix))
            it = values.erase(it);
        else
            ++it;
    }
    return true;
}

bool FakeSettingsStore::has(const QString& app, const QString& section, const QString& key) const
{
    return values.contains(joinKey(app, section, key));
}

bool FakeSettingsStore::hasSection(const QString& app, const QString& section) const
{
    const QString prefix = app + QLatin1Char('/') + section + QLatin1Char('/');
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        if (it.key().startsWith(prefix))
            return true;
    return false;
}

MessageAnswer FakeMessageBoxes::show(const QString& text, const QString& title, MessageIcon icon,
                                     MessageButtons buttons)
{
    shown.append({text, title, icon, buttons});
    if (onShow)
        onShow(shown.back());
    if (answers.empty())
        return MessageAnswer::Ok;
    const MessageAnswer a = answers.front();
    answers.pop_front();
    return a;
}

RecipeValues recipe(const QString& category, const QString& name, const FieldValue& notes,
                    const FieldValue& ingredients, const FieldValue& instructions)
{
    RecipeValues v;
    v[Field::FoodCategoryID] = category;
    v[Field::RecipeName] = name;
    v[Field::Ingredients] = ingredients;
    v[Field::Instructions] = instructions;
    v[Field::Notes] = notes;
    return v;
}

QString makeRecipeFile(const QString& folder, const QList<RecipeValues>& rows)
{
    const QString path = QDir(folder).filePath(QStringLiteral("Savorix.mdb"));
    qsizetype i = 0;
    RecipeTable::createFile(path, [&](RecipeValues& row) {
        if (i >= rows.size())
            return false;
        row = rows[i++];
        return true;
    });
    return path;
}

int runSqlite(const QString& path, const QString& sql, QString* output)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    // Waits out brief read locks, such as the search index loading just after an open; a file
    // held for good still fails.
    p.start(QStringLiteral("sqlite3"),
            {QStringLiteral("-batch"), QStringLiteral("-cmd"), QStringLiteral(".timeout 500"), path, sql});
    if (!p.waitForFinished(30000))
        return -1;
    if (output)
        *output = QString::fromUtf8(p.readAll());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

QString newServerDatabase()
{
    const QString server = qEnvironmentVariable("PANTRIO_TEST_POSTGRES");
    if (server.isEmpty())
        return {};
    static int made = 0;
    const QString name = QStringLiteral("pantrio_%1_%2").arg(QCoreApplication::applicationPid()).arg(++made);
    pg::Connection admin(server, 10);
    // A name made here of letters, digits and underscores: safe to write into the statement.
    admin.exec(("CREATE DATABASE " + name.toLatin1()).constData(),
               QStringLiteral("create a test database on"));
    QUrl address(server);
    address.setPath(QLatin1Char('/') + name);
    return address.toString();
}

} // namespace pantrio::test
