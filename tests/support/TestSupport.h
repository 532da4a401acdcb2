#pragma once

#include "platform/BusyPointer.h"
#include "platform/MessageBoxes.h"
#include "platform/ScreenMetrics.h"
#include "platform/SettingsStore.h"
#include "store/RecipeFields.h"

#include <deque>
#include <functional>
#include <QList>
#include <QMap>
#include <QString>

namespace pantrio::test {

// Settings kept in memory; `failWrites` makes every change fail like an unwritable store.
class FakeSettingsStore final : public SettingsStore
{
public:
    QString read(const QString& app, const QString& section, const QString& key,
                 const QString& fallback = QString()) const override;
    bool write(const QString& app, const QString& section, const QString& key, const QString& value) override;
    bool deleteSection(const QString& app, const QString& section) override;

    bool has(const QString& app, const QString& section, const QString& key) const;
    bool hasSection(const QString& app, const QString& section) const;

    bool failWrites = false;
    QMap<QString, QString> values; // "app/section/key" -> value
};

struct ShownMessage
{
    QString text;
    QString title;
    MessageIcon icon;
    MessageButtons buttons;
};

// Records every message; answers from `answers` (front first), OK when it runs dry.
class FakeMessageBoxes final : public MessageBoxes
{
public:
    MessageAnswer show(const QString& text, const QString& title, MessageIcon icon,
                       MessageButtons buttons = MessageButtons::Ok) override;

    QList<ShownMessage> shown;
    std::deque<MessageAnswer> answers;
    // Runs while the "box" is up, e.g. to check the pointer shape a real box would show over.
    std::function<void(const ShownMessage&)> onShow;
};

class FakeScreenMetrics final : public ScreenMetrics
{
public:
    FakeScreenMetrics(float heightTwips = 9000.0f, float tppX = 15.0f, float tppY = 15.0f)
        : height(heightTwips), x(tppX), y(tppY)
    {}
    float heightTwips() const override { return height; }
    float twipsPerPixelX() const override { return x; }

    float height, x, y;
};

class FakeBusyPointer final : public BusyPointer
{
public:
    void setBusy(bool busy) override
    {
        busy_ = busy;
        ++changes;
    }
    bool isBusy() const { return busy_; }
    int changes = 0;

private:
    bool busy_ = false;
};

// A recipe with the given fields; the rest hold no value.
RecipeValues recipe(const QString& category, const QString& name, const FieldValue& notes = std::nullopt,
                    const FieldValue& ingredients = std::nullopt,
                    const FieldValue& instructions = std::nullopt);

// Writes Savorix.mdb into `folder` with these rows, in order; returns its path.
QString makeRecipeFile(const QString& folder, const QList<RecipeValues>& rows);

// Runs the sqlite3 command-line program on `path` in another process; returns its exit code,
// with what it printed in `output` (both streams).
int runSqlite(const QString& path, const QString& sql, QString* output = nullptr);

// A new empty database on the test server (PANTRIO_TEST_POSTGRES) for the caller alone, so that
// test programs running at once never meet; empty when no server is set.
QString newServerDatabase();

} // namespace pantrio::test
