#pragma once

#include "OpenMode.h"
#include "Sqlite.h"

#include <QString>

namespace pantrio {

// Opens a recipe collection and checks that it is one: an ordinary SQLite file holding the
// recipe table with all seven fields. Held exclusively, no other program can read or write it
// until the connection closes. Throws StoreError with a message that names the file and the cause.
sqlite::Database openCollectionFile(const QString& path, OpenMode mode, int busyTimeoutMs);

} // namespace pantrio
