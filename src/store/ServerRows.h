#pragma once

#include "Handoff.h"
#include "Postgres.h"
#include "RecipeRows.h"
#include "ServerTerms.h"

#include <chrono>
#include <exception>
#include <memory>
#include <thread>

namespace pantrio {

// The recipe table on a server, inside the caller's transaction, for an import or an export.
class ServerRows : public RecipeRows
{
public:
    explicit ServerRows(pg::Connection& db) : db_(db) {}
    ~ServerRows() override { abandon(); }

    std::int64_t highestId() override;
    void insert(std::int64_t id, const RecipeValues& values) override;
    std::optional<RecipeValues> fetch(std::int64_t id) override;
    void forEach(const std::function<bool(std::int64_t, const RecipeValues&)>& row) override;
    void beginPart() override;
    void keepPart() override;
    void dropPart() override;
    int inserted() const { return inserted_; }
    // Sends the inserts not yet sent; before anything else reads or marks the table, and
    // before the commit.
    void flush();
    // Before the commit: makes the indexes a bulk copy put off.
    void finish();
    // After a failure, before anything else runs on the connection: stops sending, whatever
    // was sent, and leaves the copy to the rollback.
    void abandon();

private:
    void beginBulk();
    void send();
    void endCopy();

    pg::Connection& db_;
    int inserted_ = 0;
    QByteArray pending_; // inserts in COPY's text format, sent together: one round trip each was the cost
    int pendingRows_ = 0;
    bool firstSent_ = false;
    bool copying_ = false; // a copy is open: nothing else may run until flush()
    // While copying, a thread of its own sends the batches: the server stores one while this
    // side makes the next (sent here, this side waited for the server and the server for it).
    std::unique_ptr<Handoff<QByteArray>> sending_;
    std::thread sender_;
    std::exception_ptr sendFailed_;
    std::chrono::steady_clock::time_point copyStarted_;
    bool bulk_ = false;                // as into a new table (beginBulk())
    bool freezable_ = false;           // rows may go in frozen
    std::vector<QByteArray> putOff_;   // the indexes to make at the end
    ServerTerms::Numbering numbering_; // and the words this transaction has added to the vocabulary
};

} // namespace pantrio
