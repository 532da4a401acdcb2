#include "ExportJob.h"

#include "RecipeSession.h"
#include "store/StoreError.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace pantrio {

namespace {

[[noreturn]] void cannotWrite(const QString& file, const QString& why)
{
    throw StoreError(
        StoreError::Kind::IoError,
        QStringLiteral("Pantrio could not write \"%1\": %2.").arg(QDir::toNativeSeparators(file), why));
}

} // namespace

ExportJob::ExportJob(RecipeSession& session, QObject* parent) : QObject(parent), session_(session) {}

ExportJob::Result ExportJob::run(const QString& file, const exchange::ExportChoice& choice,
                                 const RecipeEdits& edits)
{
    cancelled_ = false;
    const QFileInfo target(file);
    if (target.exists() && !target.isFile())
        cannotWrite(file, target.isDir() ? QStringLiteral("it is a folder")
                                         : QStringLiteral("it is not an ordinary file"));
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        cannotWrite(file, out.errorString());
    Result result;
    const int total = std::max(choice.ids ? int(choice.ids->size()) : session_.count(), 1);
    session_.read(edits, [&](RecipeRows& rows) {
        result.written = exchange::exportRecipes(rows, out, choice, [&](int written) {
            emit progressed(int(qint64(written) * 999 / total));
            return !cancelled_;
        });
    });
    if (cancelled_) {
        out.cancelWriting();
        result.cancelled = true;
        return result;
    }
    if (!out.commit())
        cannotWrite(file, out.errorString());
    return result;
}

} // namespace pantrio
