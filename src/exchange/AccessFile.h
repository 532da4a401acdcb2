#pragma once

#include "RecipeFormats.h"

#include <array>
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

// Reads a Microsoft Access (Jet 3 or Jet 4) file. Text comes out as UTF-8 whatever the file
// stored (Jet 4's compressed Unicode included); an empty value and no value both read as none.
class AccessFile
{
public:
    explicit AccessFile(const QString& path); // throws ReadError
    ~AccessFile();
    AccessFile(const AccessFile&) = delete;
    AccessFile& operator=(const AccessFile&) = delete;

    QStringList tables() const;
    // Every row of `table` in the file's order; `row` returns false to stop. Throws ReadError.
    void
    readTable(const QString& table,
              const std::function<bool(const QStringList& columns, const QList<FieldValue>& values)>& row);

private:
    struct Handle;
    Handle* handle_;
    QString path_;
};

// The recipes of an Access collection, in the table's order.
void readAccess(const QString& path, const ReadEvents& events, const AccessLayout& layout = {});

} // namespace pantrio::exchange
