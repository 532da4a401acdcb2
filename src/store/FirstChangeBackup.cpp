#include "FirstChangeBackup.h"

#include "CollectionBackup.h"
#include "Sqlite.h"
#include "StoreError.h"

#include <QDateTime>
#include <QFileInfo>

namespace pantrio {

void FirstChangeBackup::beforeChange(sqlite::Database& db)
{
    if (tried_ || options_.folder.isEmpty())
        return;
    tried_ = true;
    if (QFileInfo(db.path()).size() > options_.limitBytes)
        return;
    try {
        backUpCollection(db.handle(), db.path(), options_.folder, QDateTime::currentDateTime());
    } catch (const StoreError& e) {
        if (onFailed)
            onFailed(e.message());
    }
}

} // namespace pantrio
