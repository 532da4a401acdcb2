#pragma once

#include "RecipeFormats.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <QString>
#include <QStringList>

namespace pantrio::exchange {

// Where an Access file keeps its recipes: the table and, for each field, its column. The
// earlier version of the program wrote table `Recipes` with the seven columns named as today.
struct AccessLayout
{
    QString table = QStringLiteral("Recipes");
    std::array<QString, FieldCount> columns = [] {
        std::array<QString, FieldCount> names;
        for (Field f : allFields)
            names[fieldIndex(f)] = QLatin1StringView(columnName(f));
        return names;
    }();
};

// Access files are read by a program of their own (pantrio-access-reader), never inside
// Pantrio: the Access library can loop and grow without end on a damaged file. The reader runs
// as a child process under these limits and is ended at once when one is passed.
struct AccessReading
{
    QString reader;                              // the reader program; empty for accessReaderProgram()
    std::int64_t memoryLimit = 0;                // bytes; 0 for 512 MB, or four times the file's size if more
    std::chrono::milliseconds idleLimit{10'000}; // longest wait for the reader's next byte
    // Called at each row and a few times a second while waiting, with the rows read and the
    // rows the table claims to hold (0 when not known yet, and not to be trusted in a damaged
    // file). Returning false ends the reader at once: the read is cancelled.
    std::function<bool(std::int64_t rowsDone, std::int64_t rowsClaimed)> progress;
};

// The reader beside the running program, else the one installed with it.
QString accessReaderProgram();

using AccessRow = std::function<bool(const QStringList& columns, const QList<FieldValue>& values)>;

// Every row of `table` in the file's order, text as UTF-8 whatever the file stored (Jet 4's
// compressed Unicode included); an empty value and no value both read as none. `row` returns
// false to stop. Returns false when cancelled through `how.progress`. Throws ReadError.
bool readAccessTable(const QString& path, const QString& table, const AccessRow& row,
                     const AccessReading& how = {});

// The recipes of an Access collection, in the table's order; as readAccessTable.
bool readAccess(const QString& path, const ReadEvents& events, const AccessLayout& layout = {},
                const AccessReading& how = {});

} // namespace pantrio::exchange
