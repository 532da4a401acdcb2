#pragma once

#include "AccessFile.h"

#include <QString>

namespace pantrio::exchange {

// The name the original Access file is kept under beside the converted collection: the first
// of "Savorix (Access).mdb", "Savorix (Access 2).mdb", ... that does not exist yet.
QString keptAccessName(const QString& path);

// Converts the Access collection at `path` into a Pantrio collection at the same path, every
// recipe in the original's order, and keeps the original under keptAccessName(path). Returns
// where the original now is, or an empty string when cancelled through `how.progress` (which
// counts the recipes read). Throws StoreError with a message for the user. A conversion that
// fails or is cancelled leaves the original where it was, byte for byte, and no new file behind.
QString convertAccessCollection(const QString& path, const AccessReading& how = {},
                                const AccessLayout& layout = {});

} // namespace pantrio::exchange
