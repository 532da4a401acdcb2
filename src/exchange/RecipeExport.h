#pragma once

#include "store/RecipeRows.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <QIODevice>
#include <QString>
#include <vector>

namespace pantrio::exchange {

enum class ExportFormat { MealMaster, Json, Html };

struct ExportChoice
{
    ExportFormat format = ExportFormat::MealMaster;
    // These recipes in this order (one the table no longer holds is left out); without ids,
    // every recipe in the table's order.
    std::optional<std::vector<std::int64_t>> ids;
    QString title; // of a cookbook
};

// Writes the chosen recipes of `rows`; a recipe left out is never read. `progress`
// is told the count so far and returns false to stop. The caller holds a read transaction, so
// that the file is one consistent state. Returns how many were written.
int exportRecipes(RecipeRows& rows, QIODevice& out, const ExportChoice& choice,
                  const std::function<bool(int written)>& progress);

} // namespace pantrio::exchange
