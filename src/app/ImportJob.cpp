#include "ImportJob.h"

#include "RecipeSession.h"

#include <QFileInfo>

namespace pantrio {

ImportJob::ImportJob(RecipeSession& session, QObject* parent) : QObject(parent), session_(session) {}

ImportJob::Result ImportJob::run(const QStringList& files, const RecipeEdits& edits,
                                 const QHash<QString, exchange::FetchedPage>& pages)
{
    cancelled_ = false;
    Result result;
    // A page is known by its whole address, a file by its name.
    const auto shown = [&pages](const QString& file) {
        return pages.contains(file) ? file : QFileInfo(file).fileName();
    };
    exchange::ImportReport report;
    report.refusedFile = [&](const QString& file, const QString& problem) {
        result.refused << QStringLiteral("%1: %2").arg(shown(file), problem);
    };
    report.refusedRecipe = [&](const QString& file, std::int64_t line, const QString& problem) {
        result.refused << QStringLiteral("%1, line %2: %3").arg(shown(file)).arg(line).arg(problem);
    };
    report.progress = [this](const exchange::ImportSummary&, std::int64_t done, std::int64_t total) {
        emit progressed(total > 0 ? int(done * 999 / total) : 0);
        return !cancelled_;
    };
    session_.transact(edits, [&](RecipeRows& rows, std::int64_t firstFree) -> std::optional<std::int64_t> {
        result.summary = exchange::importFiles(rows, firstFree, files, false, report, pages);
        if (result.summary.cancelled)
            return std::nullopt;
        return result.summary.firstId;
    });
    return result;
}

} // namespace pantrio
