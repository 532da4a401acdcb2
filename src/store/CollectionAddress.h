#pragma once

#include <QString>

namespace pantrio {

// Whether a collection location names a database server rather than a file: a
// postgresql:// or postgres:// URI, or libpq's key=value pairs ("host=pantry dbname=recipes").
bool isServerAddress(const QString& location);

// The address with any password taken out, for remembering it: passwords belong in ~/.pgpass.
QString withoutPassword(const QString& address);

} // namespace pantrio
