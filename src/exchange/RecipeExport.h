#pragma once

#include "store/RecipeRows.h"

#include <functional>
#include <QIODevice>

namespace pantrio::exchange {

enum class ExportFormat { MealMaster, Json };

// Writes every recipe of `rows`, in the table's order. `progress` is told the count
// so far and returns false to stop. The caller holds a read transaction, so that the file is one consistent
// state. Returns how many were written.
int exportRecipes(RecipeRows& rows, QIODevice& out, ExportFormat format,
                  const std::function<bool(int written)>& progress);

} // namespace pantrio::exchange
