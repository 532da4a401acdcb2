#pragma once

#include "exchange/RecipeExport.h"
#include "RecipeEdits.h"

#include <atomic>
#include <QObject>
#include <QString>

namespace pantrio {

class RecipeSession;

// Writes a session's recipes, or some of them, into a new file: progress as it goes, and a
// Cancel after which no file is left. The file appears only once it is complete.
class ExportJob : public QObject
{
    Q_OBJECT
public:
    explicit ExportJob(RecipeSession& session, QObject* parent = nullptr);

    struct Result
    {
        int written = 0;
        bool cancelled = false;
    };
    // Throws StoreError when the collection cannot be read or the file cannot be written, with
    // a message for the user; nothing is left at `file` then.
    Result run(const QString& file, const exchange::ExportChoice& choice, const RecipeEdits& edits);

public slots:
    void cancel() { cancelled_ = true; }

signals:
    void progressed(int permille);

private:
    RecipeSession& session_;
    std::atomic<bool> cancelled_ = false;
};

} // namespace pantrio
