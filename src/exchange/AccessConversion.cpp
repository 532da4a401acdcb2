#include "AccessConversion.h"

#include "RecipeImport.h"
#include "store/RecipeTable.h"
#include "store/RecordCursor.h"
#include "store/StoreError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace pantrio::exchange {

QString keptAccessName(const QString& path)
{
    const QFileInfo info(path);
    for (int n = 1;; ++n) {
        const QString name =
            n == 1 ? QStringLiteral("%1 (Access).%2").arg(info.completeBaseName(), info.suffix())
                   : QStringLiteral("%1 (Access %3).%2").arg(info.completeBaseName(), info.suffix()).arg(n);
        const QString candidate = info.dir().filePath(name);
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}

namespace {

// Takes away a half-written collection, with what SQLite kept beside it, unless kept.
class PartialFile
{
public:
    explicit PartialFile(QString path) : path_(std::move(path)) { remove(); }
    ~PartialFile()
    {
        if (!kept_)
            remove();
    }
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;
    const QString& path() const { return path_; }
    void keep() { kept_ = true; }

private:
    void remove() const
    {
        for (const char* suffix : {"", "-journal", "-wal", "-shm"})
            QFile::remove(path_ + QLatin1StringView(suffix));
    }
    QString path_;
    bool kept_ = false;
};

} // namespace

QString convertAccessCollection(const QString& path, const AccessReading& how, const AccessLayout& layout)
{
    const QString shown = QDir::toNativeSeparators(path);
    const auto fail = [&](const QString& cause) -> StoreError {
        return StoreError(
            StoreError::Kind::Other,
            QStringLiteral("Pantrio could not convert the recipe file \"%1\": %2. The file was left "
                           "as it was.")
                .arg(shown, cause));
    };
    PartialFile converting(path + QStringLiteral(".converting")); // also what an interrupted one left
    bool finished = false;
    try {
        RecipeTable::createFile(converting.path());
        auto cursor = RecordCursor::open(converting.path(), {OpenMode::Exclusive, 0});
        cursor->transact([&](RecipeRows& rows, std::int64_t firstFree) {
            RecipeInserter inserter(rows, firstFree, true); // every recipe, twins included
            ReadEvents events;
            events.recipe = [&](RecipeValues&& r, std::int64_t) { return inserter.add(r); };
            events.problem = [](std::int64_t, const QString&) {};
            finished = readAccess(path, events, layout, how);
            return finished;
        });
        cursor->close();
    } catch (const ReadError& e) {
        throw fail(e.message());
    } catch (const StoreError& e) {
        QString cause = e.message();
        if (cause.endsWith(u'.'))
            cause.chop(1);
        throw fail(cause);
    }
    if (!finished)
        return {};
    const QString kept = keptAccessName(path);
    if (!QFile::rename(path, kept))
        throw fail(QStringLiteral("the original could not be renamed"));
    if (!QFile::rename(converting.path(), path)) {
        QFile::rename(kept, path);
        throw fail(QStringLiteral("the converted file could not be put in its place"));
    }
    converting.keep();
    return kept;
}

} // namespace pantrio::exchange
