#pragma once

#include <functional>
#include <QString>

namespace pantrio {

namespace sqlite {
class Database;
}

// A copy of the collection made before the first change after opening, so that a day's
// mistakes can be undone. A copy that cannot be made does not stop the change.
class FirstChangeBackup
{
public:
    struct Options
    {
        QString folder;                        // empty: no copy
        qint64 limitBytes = qint64(512) << 20; // a larger file is not copied
    };

    explicit FirstChangeBackup(Options options) : options_(std::move(options)) {}

    // Told once, when the copy fails; the change goes on.
    std::function<void(const QString& message)> onFailed;

    // Copies the collection the first time it is called.
    void beforeChange(sqlite::Database& db);

private:
    Options options_;
    bool tried_ = false;
};

} // namespace pantrio
