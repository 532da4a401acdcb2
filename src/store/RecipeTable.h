#pragma once

#include "RecipeFields.h"

#include <functional>
#include <QByteArray>
#include <QString>
#include <span>

namespace pantrio {

// The recipe table: one row per recipe, one text column per field.
namespace RecipeTable {

inline constexpr const char* Name = "Recipes";

// SQL text built from the field table, so that no statement spells the columns out itself.
QByteArray quotedColumn(Field f);
QByteArray columnList(std::span<const Field> fields = allFields); // quoted, comma-separated
QByteArray placeholders(int count, int first = 1);                // "?1, ?2, ..."

// Pages of new collections. A recipe takes about 2.3 KB, so with the engine's 4 KB pages
// nearly half of every page stays empty; 16 KB pages hold several recipes each and bring the
// file to about 1.1 times its text, where 8 KB still leaves a fifth of it empty, and larger
// pages gain little more while every save writes a whole page to the journal.
inline constexpr int PageSize = 16384;

// Creates a new recipe file at `path` holding the rows that `next` yields (it returns false
// when there are no more), in one transaction. Throws StoreError; never overwrites a file.
void createFile(const QString& path, const std::function<bool(RecipeValues&)>& next = {});

struct Compaction
{
    int pageSizeBefore = 0;
    int pageSizeAfter = 0;
    qint64 bytesBefore = 0;
    qint64 bytesAfter = 0;
};

// Rewrites an existing recipe file with PageSize pages and no free space, in place and in
// one transaction. Refuses a file another program holds (the full window keeps its lock while
// open) and keeps it locked meanwhile, so that no program opens it halfway. Needs free disk
// space of about the file's size. Throws StoreError.
Compaction compactFile(const QString& path);

} // namespace RecipeTable

} // namespace pantrio
