#pragma once

#include "store/Sqlite.h"

#include <functional>
#include <QIODevice>

namespace pantrio::exchange {

enum class ExportFormat { MealMaster, Json };

// Writes every recipe of the table on `db`, in the table's order. `progress` is told the count
// so far and returns false to stop. The caller holds a read transaction, so that the file is one consistent
// state. Returns how many were written.
int exportRecipes(sqlite::Database& db, QIODevice& out, ExportFormat format,
                  const std::function<bool(int written)>& progress);

} // namespace pantrio::exchange
