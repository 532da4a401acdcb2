#include "AccessFile.h"

#include <mdbtools.h>
#include <memory>
#include <QDir>
#include <QFile>
#include <vector>

namespace pantrio::exchange {

namespace {

// Memo texts longer than this are cut; Access's own boxes hold far less.
constexpr int BindSize = 1 << 20;

} // namespace

struct AccessFile::Handle
{
    MdbHandle* mdb = nullptr;
};

AccessFile::AccessFile(const QString& path) : handle_(new Handle), path_(path)
{
    handle_->mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
    if (!handle_->mdb) {
        delete handle_;
        throw ReadError(QStringLiteral("the file is not a readable Access database"));
    }
    mdb_set_bind_size(handle_->mdb, BindSize);
    if (!mdb_read_catalog(handle_->mdb, MDB_TABLE)) {
        mdb_close(handle_->mdb);
        delete handle_;
        throw ReadError(QStringLiteral("the Access database's list of tables cannot be read"));
    }
}

AccessFile::~AccessFile()
{
    mdb_close(handle_->mdb);
    delete handle_;
}

QStringList AccessFile::tables() const
{
    QStringList out;
    for (guint i = 0; i < handle_->mdb->num_catalog; ++i) {
        const auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(handle_->mdb->catalog, i));
        if (entry->object_type == MDB_TABLE && !mdb_is_system_table(const_cast<MdbCatalogEntry*>(entry)))
            out << QString::fromUtf8(entry->object_name);
    }
    return out;
}

void AccessFile::readTable(const QString& table,
                           const std::function<bool(const QStringList&, const QList<FieldValue>&)>& row)
{
    QByteArray name = table.toUtf8();
    MdbTableDef* def = mdb_read_table_by_name(handle_->mdb, name.data(), MDB_TABLE);
    if (!def)
        throw ReadError(QStringLiteral("the Access database has no table \"%1\"").arg(table));
    const auto freeTable = std::unique_ptr<MdbTableDef, void (*)(MdbTableDef*)>(def, mdb_free_tabledef);
    if (!mdb_read_columns(def))
        throw ReadError(QStringLiteral("the Access table \"%1\" cannot be read").arg(table));
    mdb_rewind_table(def);

    QStringList columns;
    std::vector<std::vector<char>> buffers(def->num_cols, std::vector<char>(BindSize + 1));
    std::vector<int> lengths(def->num_cols);
    std::vector<bool> text(def->num_cols);
    for (unsigned int i = 0; i < def->num_cols; ++i) {
        const auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, i));
        columns << QString::fromUtf8(col->name);
        // Pictures and other binary values have no place in a recipe's text fields.
        text[i] = col->col_type != MDB_OLE && col->col_type != MDB_BINARY;
        mdb_bind_column(def, int(i) + 1, buffers[i].data(), &lengths[i]);
    }
    QList<FieldValue> values(columns.size());
    while (mdb_fetch_row(def)) {
        for (unsigned int i = 0; i < def->num_cols; ++i) {
            if (!text[i] || lengths[i] <= 0)
                values[i] = std::nullopt;
            else
                values[i] = QString::fromUtf8(buffers[i].data(), qstrnlen(buffers[i].data(), lengths[i]));
        }
        if (!row(columns, values))
            return;
    }
}

void readAccess(const QString& path, const ReadEvents& events, const AccessLayout& layout)
{
    AccessFile file(path);
    std::array<int, FieldCount> where{};
    bool first = true;
    std::int64_t number = 0;
    file.readTable(layout.table, [&](const QStringList& columns, const QList<FieldValue>& values) {
        if (first) {
            for (Field f : allFields) {
                where[fieldIndex(f)] = -1;
                for (qsizetype i = 0; i < columns.size(); ++i)
                    if (columns[i].compare(layout.columns[fieldIndex(f)], Qt::CaseInsensitive) == 0)
                        where[fieldIndex(f)] = int(i);
            }
            first = false;
        }
        ++number;
        RecipeValues r;
        for (Field f : allFields)
            if (const int i = where[fieldIndex(f)]; i >= 0)
                r[f] = values[i];
        return events.recipe(std::move(r), number);
    });
}

} // namespace pantrio::exchange
