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

QString convertAccessCollection(const QString& path, const AccessLayout& layout)
{
    const QString shown = QDir::toNativeSeparators(path);
    const auto fail = [&](const QString& cause) -> StoreError {
        return StoreError(
            StoreError::Kind::Other,
            QStringLiteral("Pantrio could not convert the recipe file \"%1\": %2. The file was left "
                           "as it was.")
                .arg(shown, cause));
    };
    const QString converting = path + QStringLiteral(".converting");
    QFile::remove(converting); // what an interrupted conversion left
    try {
        RecipeTable::createFile(converting);
        auto cursor = RecordCursor::open(converting, {OpenMode::Exclusive, 0});
        cursor->transact([&](sqlite::Database& db, std::int64_t firstFree) {
            RecipeInserter inserter(db, firstFree, true); // every recipe, twins included
            ReadEvents events;
            events.recipe = [&](RecipeValues&& r, std::int64_t) { return inserter.add(r); };
            events.problem = [](std::int64_t, const QString&) {};
            readAccess(path, events, layout);
            return true;
        });
        cursor->close();
    } catch (const ReadError& e) {
        QFile::remove(converting);
        throw fail(e.message());
    } catch (const StoreError& e) {
        QFile::remove(converting);
        QString cause = e.message();
        if (cause.endsWith(u'.'))
            cause.chop(1);
        throw fail(cause);
    }
    const QString kept = keptAccessName(path);
    if (!QFile::rename(path, kept)) {
        QFile::remove(converting);
        throw fail(QStringLiteral("the original could not be renamed"));
    }
    if (!QFile::rename(converting, path)) {
        QFile::rename(kept, path);
        QFile::remove(converting);
        throw fail(QStringLiteral("the converted file could not be put in its place"));
    }
    return kept;
}

} // namespace pantrio::exchange
