#pragma once

#include "RecipeEdits.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace pantrio {

class RecipeSession;

// A copy of a collection in the backups folder.
struct BackupCopy
{
    QString path;
    QDateTime made;
    int recipes = -1; // -1: the copy cannot be read
};

// The copies of the collection at `collectionPath` in `folder`, newest first.
QList<BackupCopy> listBackups(const QString& folder, const QString& collectionPath);

// Puts `backup` in place of the collection at `path`, the session's: pending edits are saved and
// the file closed, the file as it is now (if any) is kept beside it under a new name, the copy
// takes its place, and the session opens it on its first recipe. Returns the name the old file
// is kept under; empty when there was none. Throws StoreError; the collection is then as it was
// (and open again, when it could be).
QString restoreBackup(RecipeSession& session, const QString& path, const QString& backup,
                      const RecipeEdits& edits);

} // namespace pantrio
