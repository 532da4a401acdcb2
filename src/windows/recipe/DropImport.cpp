#include "DropImport.h"

#include "app/ImportJob.h"
#include "app/RecipeSession.h"
#include "CommandRunner.h"
#include "platform/MessageBoxes.h"
#include "platform/ProgramInfo.h"
#include "platform/Services.h"

#include <optional>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QProgressDialog>
#include <QWidget>

namespace pantrio {

namespace {

QStringList localFiles(const QMimeData* data)
{
    QStringList files;
    if (data && data->hasUrls())
        for (const QUrl& url : data->urls())
            if (url.isLocalFile())
                files << url.toLocalFile();
    return files;
}

} // namespace

DropImport::DropImport(QWidget& window, RecipeSession& session, Services& services, CommandRunner& runner,
                       std::function<RecipeEdits()> edits)
    : QObject(&window), window_(window), session_(session), services_(services), runner_(runner),
      edits_(std::move(edits))
{}

bool DropImport::take(QEvent* event)
{
    if (event->type() != QEvent::DragEnter && event->type() != QEvent::DragMove &&
        event->type() != QEvent::Drop)
        return false;
    auto* drop = static_cast<QDropEvent*>(event);
    const QStringList files = localFiles(drop->mimeData());
    if (files.isEmpty())
        return false;
    drop->acceptProposedAction();
    if (event->type() == QEvent::Drop)
        // Not inside the drop itself: the program the files come from waits for it to end.
        QMetaObject::invokeMethod(
            this, [this, files] { import(files); }, Qt::QueuedConnection);
    return true;
}

void DropImport::import(const QStringList& files)
{
    if (!session_.isOpen()) {
        runner_.tell(session_.openError(), MessageIcon::Exclamation);
        return;
    }
    QStringList names;
    for (const QString& file : files)
        names << QFileInfo(file).fileName();
    const QString question = QStringLiteral("Import the recipes in %1 into this recipe collection?\n\n%2")
                                 .arg(files.size() == 1 ? QStringLiteral("this file")
                                                        : QStringLiteral("these %1 files").arg(files.size()),
                                      names.join(u'\n'));
    if (services_.messages.show(question, services_.program.title, MessageIcon::Information,
                                MessageButtons::OkCancel) != MessageAnswer::Ok)
        return;

    QProgressDialog progress(QStringLiteral("Importing recipes..."), QStringLiteral("Cancel"), 0, 1000,
                             &window_);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    ImportJob job(session_);
    connect(&job, &ImportJob::progressed, &progress, &QProgressDialog::setValue);
    connect(&progress, &QProgressDialog::canceled, &job, &ImportJob::cancel);
    std::optional<ImportJob::Result> result;
    runner_.run([&] { result = job.run(files, edits_()); });
    progress.reset();
    if (!result)
        return; // the runner told the user why
    const exchange::ImportSummary& summary = result->summary;
    if (summary.cancelled) {
        runner_.tell(QStringLiteral("The import was cancelled; nothing was imported."),
                     MessageIcon::Information);
        return;
    }
    QString text = QStringLiteral("Imported %1 recipe(s), %2 duplicate(s) skipped, %3 refused.")
                       .arg(summary.imported)
                       .arg(summary.duplicates)
                       .arg(summary.refused);
    if (!result->refused.isEmpty()) {
        constexpr qsizetype Shown = 10;
        text += QStringLiteral("\n\n") + result->refused.mid(0, Shown).join(u'\n');
        if (result->refused.size() > Shown)
            text += QStringLiteral("\n(and %1 more)").arg(result->refused.size() - Shown);
    }
    runner_.tell(text, summary.refused ? MessageIcon::Exclamation : MessageIcon::Information);
}

} // namespace pantrio
