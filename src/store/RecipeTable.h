#pragma once

#include "RecipeFields.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <span>

namespace pantrio {

// The recipe table: one row per recipe, one text column per field.
namespace RecipeTable {

inline constexpr const char* Name = "Recipes";

// SQL text built from the field table, so that no statement spells the columns out itself.
QByteArray quotedColumn(Field f);
QByteArray columnList(std::span<const Field> fields = allFields); // quoted, comma-separated
QByteArray placeholders(int count, int first = 1);                // "?1, ?2, ..."

// Creates a new recipe file at `path` holding the rows that `next` yields (it returns false
// when there are no more), in one transaction. Throws StoreError; never overwrites a file.
void createFile(const QString& path, const std::function<bool(RecipeValues&)>& next = {});

} // namespace RecipeTable

} // namespace pantrio
