#pragma once

#include <QByteArray>

namespace pantrio {

namespace sqlite {
class Database;
}

// Table `RecipeFindKeys`: a narrow copy of the fields Find searches, kept by triggers on
// whoever writes the file, so that loading them for a search reads a fraction of the file.
// Another program may have dropped the table or its triggers: then it is not used, the
// recipes themselves are read instead.
namespace FindKeyTable {

QByteArray schema();
// Whether the table and its triggers are exactly as Pantrio made them.
bool usable(sqlite::Database& db);
// Once a file is open: a key table that is missing or not usable is made anew when this
// connection holds the file alone (and may write it); shared, what is left of a damaged one is
// dropped, since triggers that write a table that is gone would make every save fail. Never throws.
void checkAtOpen(sqlite::Database& db, bool heldAlone);

} // namespace FindKeyTable

} // namespace pantrio
