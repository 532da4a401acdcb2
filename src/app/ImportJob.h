#pragma once

#include "exchange/RecipeImport.h"
#include "RecipeEdits.h"

#include <atomic>
#include <optional>
#include <QObject>
#include <QStringList>

namespace pantrio {

class RecipeSession;

// Imports recipe files into a session's collection as one transaction: progress as it goes,
// a Cancel that takes everything back, and a summary with what was refused. The session then
// stands on the first new recipe.
class ImportJob : public QObject
{
    Q_OBJECT
public:
    explicit ImportJob(RecipeSession& session, QObject* parent = nullptr);

    struct Result
    {
        exchange::ImportSummary summary;
        QStringList refused; // one line a refusal: "file: problem" or "file, line N: problem"
    };
    // Throws StoreError when the collection refuses the import; nothing of it stays then. A
    // name that `pages` holds is a web page fetched already, read from there.
    Result run(const QStringList& files, const RecipeEdits& edits,
               const QHash<QString, exchange::FetchedPage>& pages = {});

public slots:
    void cancel() { cancelled_ = true; }

signals:
    void progressed(int permille);

private:
    RecipeSession& session_;
    std::atomic<bool> cancelled_ = false;
};

} // namespace pantrio
