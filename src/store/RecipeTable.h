#pragma once

#include "FieldValue.h"

#include <QString>
#include <QStringList>

#include <array>
#include <functional>

namespace pantrio {

// The recipe table: one row per recipe, seven text fields in the order the windows show them.
namespace RecipeTable {

inline constexpr const char* Name = "Recipes";
inline constexpr int FieldCount = 7;
inline constexpr std::array<const char*, FieldCount> Fields = {
    "FoodCategoryID", "RecipeName", "Recipe Description", "TimeToPrepare", "Ingredients", "Instructions", "Notes"};

// Index of a field by name (letter case ignored, as the engine does), or -1.
int fieldIndex(const QString& name);
QStringList fieldNames();

// Creates a new recipe file at `path` holding the rows that `next` yields (it returns false
// when there are no more), in one transaction. Throws StoreError; never overwrites a file.
void createFile(const QString& path, const std::function<bool(std::array<FieldValue, FieldCount>&)>& next = {});

} // namespace RecipeTable

using RecipeValues = std::array<FieldValue, RecipeTable::FieldCount>;

} // namespace pantrio
