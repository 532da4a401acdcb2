#pragma once

#include "CollectionStore.h"
#include "OpenMode.h"
#include "Postgres.h"
#include "ServerRows.h"
#include "Snapshot.h"

#include <memory>

namespace pantrio {

// A collection in a PostgreSQL database (see ServerSchema.h). Every save is one statement or
// one transaction, and checks the row version it read; the server does the searching, so the
// cursor's own changes need no following here.
//
// A connection the server ended or the network lost fails the command that finds it so; the
// next command connects again, takes the collection as it was taken at open, and then runs.
class ServerStore : public CollectionStore
{
public:
    static std::unique_ptr<ServerStore> open(const QString& address, OpenMode mode);

    const QString& location() const override { return address_; }
    bool isOpen() const override { return open_; }
    void close() override
    {
        db_.close();
        open_ = false;
    }
    Snapshot& snapshot() override { return snapshot_; }
    void startBackgroundWork() override {}
    void setOnBackupFailed(std::function<void(const QString&)>) override {}

    bool readRow(std::int64_t id, RecipeValues& values, std::int64_t& version) override;
    std::int64_t insert(const RecipeValues& values, std::int64_t highestId) override;
    std::int64_t update(std::int64_t id, const RecipeValues& read, std::int64_t readVersion,
                        const RecipeValues& values, const Changed& changed) override;
    void remove(std::int64_t id) override;
    bool transact(const std::function<bool(RecipeRows&)>& work) override;
    void read(const std::function<void(RecipeRows&)>& work) override;

    std::optional<std::int64_t> findAfter(const SearchCondition& condition, std::int64_t afterId,
                                          std::span<const std::int64_t> snapshot) override;
    void noteAdded(std::int64_t, const RecipeValues&) override {}
    void noteChanged(std::int64_t, const RecipeValues&, const Changed&) override {}
    void noteDeleted(std::int64_t) override {}
    void noteSaved() override {}
    void forgetSearch() override {}
    RecipeListSource listSource() override;

private:
    ServerStore(pg::Connection db, QString address, OpenMode mode);
    pg::Connection& connected(); // connects again when the last command lost the connection
    void checkNamesIndex();      // and whether the server keeps the count
    void numberUnnumbered();
    int countRecipes();
    struct UnsureSave
    {
        std::int64_t id;
        std::int64_t version; // as read before it
        RecipeValues values;
        Changed changed;
    };
    bool wasWritten(const UnsureSave& save);
    struct UnsureAdd
    {
        QByteArray transaction; // the server's number of the transaction whose commit went unanswered
        std::int64_t id = 0;
        RecipeValues values;
    };
    bool wasAdded(const UnsureAdd& add);
    bool importCommitted(const QByteArray& transaction);
    std::vector<std::int64_t> readIds(std::optional<std::int64_t> after, int limit);
    // `unanswered` is called when the connection was lost with the commit sent.
    template <typename Work>
    auto inTransaction(const char* begin, const QString& action, Work work,
                       const std::function<void()>& unanswered = {});

    pg::Connection db_;
    QString address_;
    OpenMode mode_;
    bool open_ = true;
    bool namesFindable_ = false;
    bool counted_ = false;
    std::optional<UnsureSave> unsureSave_; // a save the lost connection left unanswered
    std::optional<UnsureAdd> unsureAdd_;   // likewise a new recipe's first save
    Snapshot snapshot_;
};

} // namespace pantrio
