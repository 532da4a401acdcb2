#pragma once

#include "CollectionStore.h"
#include "FirstChangeBackup.h"
#include "OpenMode.h"
#include "RecipeSearch.h"
#include "RecordWriter.h"
#include "Snapshot.h"
#include "Sqlite.h"
#include "WordIndex.h"

#include <memory>
#include <optional>

namespace pantrio {

// The recipe table of an open sqlite::Database, for an import or an export on it.
class FileRows : public RecipeRows
{
public:
    explicit FileRows(sqlite::Database& db) : db_(db) {}

    std::int64_t highestId() override;
    void insert(std::int64_t id, const RecipeValues& values) override;
    std::optional<RecipeValues> fetch(std::int64_t id) override;
    void forEach(const std::function<bool(std::int64_t, const RecipeValues&)>& row) override;
    void beginPart() override;
    void keepPart() override;
    void dropPart() override;
    // Indexes the words of the recipes inserted since the last time. Throws StoreError.
    void finish();

private:
    sqlite::Database& db_;
    std::optional<sqlite::Statement> insert_;
    std::optional<sqlite::Statement> fetch_;
    std::optional<WordIndex::Feed> words_;
    std::optional<std::int64_t> partFirstId_;
    int sinceWriteBack_ = 0;
};

// A collection in one SQLite file (see CollectionFile.h).
class FileStore : public CollectionStore
{
public:
    static std::unique_ptr<FileStore> open(const QString& path, OpenMode mode, int busyTimeoutMs,
                                           FirstChangeBackup::Options backup);

    const QString& location() const override { return db_.path(); }
    bool isOpen() const override { return db_.isOpen(); }
    void close() override;
    Snapshot& snapshot() override { return snapshot_; }
    void startBackgroundWork() override;
    void setOnBackupFailed(std::function<void(const QString&)> onFailed) override;

    bool readRow(std::int64_t id, RecipeValues& values, std::int64_t& version) override;
    std::int64_t insert(const RecipeValues& values, std::int64_t highestId) override;
    std::int64_t update(std::int64_t id, const RecipeValues& read, std::int64_t readVersion,
                        const RecipeValues& values, const Changed& changed) override;
    void remove(std::int64_t id) override;
    bool transact(const std::function<bool(RecipeRows&)>& work) override;
    void read(const std::function<void(RecipeRows&)>& work) override;

    std::optional<std::int64_t> findAfter(const SearchCondition& condition, std::int64_t afterId,
                                          std::span<const std::int64_t> snapshot) override;
    void noteAdded(std::int64_t id, const RecipeValues& values) override { search_.noteAdded(id, values); }
    void noteChanged(std::int64_t id, const RecipeValues& values, const Changed& changed) override
    {
        search_.noteChanged(id, values, changed);
    }
    void noteDeleted(std::int64_t id) override { search_.noteDeleted(id); }
    void noteSaved() override { search_.noteSaved(db_); }
    void forgetSearch() override { search_.clear(); }
    RecipeListSource listSource() override;

private:
    FileStore(sqlite::Database db, FirstChangeBackup::Options backup);

    sqlite::Database db_;
    FirstChangeBackup backup_;
    RecordWriter writer_;
    Snapshot snapshot_;
    RecipeSearch search_;
    bool backgroundStarted_ = false;
};

} // namespace pantrio
