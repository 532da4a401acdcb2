#pragma once

#include "OpenMode.h"
#include "Postgres.h"
#include "RecipeFields.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace pantrio::ServerSchema {

// The layout of a collection on a database server, recorded in the database; a Pantrio that
// finds another number refuses the database rather than guess (the first it brings up to date).
inline constexpr int Version = 2;

// The recipe table: an id, a row version every change raises, and the seven text fields.
inline constexpr const char* Table = "pantrio_recipes";

// Seconds to connect; a statement may take 6 times as long.
inline constexpr int TimeoutSeconds = 10;

// The seven fields of `row` of `r`, in column order from column `first` on.
RecipeValues fieldsOf(const pg::Result& r, int row, int first);
// The ids of a result of one text, `string_agg(id::text, ',')`: as one text, a row each took
// libpq and this side more than the server took to read them.
std::vector<std::int64_t> idsOf(const pg::Result& r);

// Connects to `address`, creates the collection in an empty database or checks the one there,
// and takes the collection for `mode`: exclusively held it is used by this connection alone
// (until it closes); shared, by any number of shared ones. Throws StoreError.
pg::Connection open(const QString& address, OpenMode mode, int timeoutSeconds);

// The numbers of a recipe's words, for the search over every field (ServerTerms.h); NULL in a
// row another program wrote, which a search reads directly.
inline constexpr const char* TermsColumn = "pantrio_terms";
// Every word a recipe has held, once: what a search looks its text up in.
inline constexpr const char* VocabularyTable = "pantrio_vocabulary";

// Find by name: the category and the name in lower case as one text (in that order, a line
// apart), and the trigram index over it. A search must write the expression exactly so for the
// server to take the index.
QByteArray namesExpression();
inline constexpr const char* NamesIndex = "pantrio_recipes_names";

// The search indexes, each by name and the statement that makes it (if it is missing). A copy
// into an empty table builds them once at its end: a row at a time took most of its time.
struct SearchIndex
{
    const char* name;
    QByteArray create;
};
std::vector<SearchIndex> searchIndexes();

// The number of recipes in one row, kept by triggers on the recipe table.
inline constexpr const char* CountTable = "pantrio_count";

} // namespace pantrio::ServerSchema
