#pragma once

#include <QDateTime>
#include <QString>

struct sqlite3;

namespace pantrio {

// Copies an open collection, through the engine's online backup, into `folder` as
// <name>-yyyy-MM-dd-HHmmss.<suffix> of the collection's file name, then keeps only the newest
// `keep` copies of that collection there. Works on the caller's own connection, so it also
// copies a file the caller holds exclusively. Returns the copy's path; throws StoreError.
QString backUpCollection(sqlite3* source, const QString& sourcePath, const QString& folder,
                         const QDateTime& when, int keep = 10);

} // namespace pantrio
