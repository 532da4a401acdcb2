#pragma once

#include <QDateTime>
#include <QString>

struct sqlite3;

namespace pantrio {

// Copies an open collection, through the engine's online backup, into `folder` as
// <name>-yyyy-MM-dd-HHmmss.<suffix> of the collection's file name (-02, -03, ... after the time
// for further copies within that second), then keeps only the newest `keep` copies of that
// collection there, the one just made always among them. The folder is made private (0700) and
// must be the user's own, a link to it included; the copy gets the collection's permissions.
// Works on the caller's own connection, so it also copies a file the caller holds exclusively.
// Returns the copy's path; throws StoreError.
QString backUpCollection(sqlite3* source, const QString& sourcePath, const QString& folder,
                         const QDateTime& when, int keep = 10);

} // namespace pantrio
