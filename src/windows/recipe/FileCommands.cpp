#include "FileCommands.h"

#include "app/BackupRestore.h"
#include "app/ConversionJob.h"
#include "app/ExportJob.h"
#include "app/ImportJob.h"
#include "app/RecipeSession.h"
#include "CommandRunner.h"
#include "platform/BusyPointer.h"
#include "platform/MessageBoxes.h"
#include "platform/ProgramInfo.h"
#include "platform/Services.h"
#include "store/CollectionAddress.h"
#include "store/StoreError.h"
#include "windows/backups/RestoreBackupDialog.h"
#include "windows/importexport/DroppedFiles.h"
#include "windows/importexport/ExportDialog.h"
#include "windows/importexport/ImportDialog.h"
#include "windows/list/RecipeListWindow.h"

#include <optional>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QProgressDialog>
#include <QWidget>

namespace pantrio {

namespace {

// Shown after half a second; its Cancel reaches the job.
template <typename Job>
std::unique_ptr<QProgressDialog> progressFor(Job& job, const QString& label, QWidget& window)
{
    auto progress = std::make_unique<QProgressDialog>(label, QStringLiteral("Cancel"), 0, 1000, &window);
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(500);
    QObject::connect(&job, &Job::progressed, progress.get(), &QProgressDialog::setValue);
    QObject::connect(progress.get(), &QProgressDialog::canceled, &job, &Job::cancel);
    return progress;
}

} // namespace

FileCommands::FileCommands(QWidget& window, RecipeSession& session, Services& services, CommandRunner& runner,
                           std::function<RecipeEdits()> edits)
    : QObject(&window), window_(window), session_(session), services_(services), runner_(runner),
      edits_(std::move(edits))
{}

bool FileCommands::take(QEvent* event)
{
    if (event->type() != QEvent::DragEnter && event->type() != QEvent::DragMove &&
        event->type() != QEvent::Drop)
        return false;
    auto* drop = static_cast<QDropEvent*>(event);
    const QStringList files = droppedFiles(drop->mimeData());
    if (files.isEmpty())
        return false;
    drop->acceptProposedAction();
    if (event->type() == QEvent::Drop)
        // Not inside the drop itself: the program the files come from waits for it to end.
        QMetaObject::invokeMethod(
            this, [this, files] { import(files, true); }, Qt::QueuedConnection);
    return true;
}

bool FileCommands::requireOpen()
{
    if (session_.isOpen())
        return true;
    runner_.tell(session_.openError(), MessageIcon::Exclamation);
    return false;
}

void FileCommands::chooseAndImport()
{
    if (!requireOpen())
        return;
    QWidget* shown = nullptr;
    ImportDialog dialog(
        services_,
        [this, &shown](const QStringList& files, const QHash<QString, exchange::FetchedPage>& pages) {
            return import(files, false, pages, shown);
        },
        &window_);
    shown = &dialog;
    dialog.exec();
}

bool FileCommands::confirmImport(const QStringList& files)
{
    QStringList names;
    for (const QString& file : files)
        names << QFileInfo(file).fileName();
    const QString question = QStringLiteral("Import the recipes in %1 into this recipe collection?\n\n%2")
                                 .arg(files.size() == 1 ? QStringLiteral("this file")
                                                        : QStringLiteral("these %1 files").arg(files.size()),
                                      names.join(u'\n'));
    return services_.messages.show(question, services_.program.title, MessageIcon::Information,
                                   MessageButtons::OkCancel) == MessageAnswer::Ok;
}

// Files dropped on the window are confirmed first; files chosen in the dialog were chosen.
bool FileCommands::import(const QStringList& files, bool confirm,
                          const QHash<QString, exchange::FetchedPage>& pages, QWidget* over)
{
    if (!requireOpen() || (confirm && !confirmImport(files)))
        return false;
    ImportJob job(session_);
    const auto progress = progressFor(job, QStringLiteral("Importing recipes..."), over ? *over : window_);
    std::optional<ImportJob::Result> result;
    runner_.run([&] { result = job.run(files, edits_(), pages); });
    progress->reset();
    if (!result)
        return false; // the runner told the user why
    const exchange::ImportSummary& summary = result->summary;
    if (summary.cancelled) {
        runner_.tell(QStringLiteral("The import was cancelled; nothing was imported."),
                     MessageIcon::Information);
        return false;
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
    return summary.refused == 0;
}

RecipeList* FileCommands::shownList() const
{
    const auto* list = window_.findChild<RecipeListWindow*>(QString(), Qt::FindDirectChildrenOnly);
    return list && list->isVisible() ? list->list() : nullptr;
}

void FileCommands::chooseAndExport()
{
    if (!requireOpen())
        return;
    ExportDialog dialog(services_, session_.count(), shownList(), &window_);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const ExportDialog::Choice& choice = dialog.choice();
    ExportJob job(session_);
    const auto progress = progressFor(job, QStringLiteral("Exporting recipes..."), window_);
    std::optional<ExportJob::Result> result;
    runner_.run([&] { result = job.run(choice.file, choice.what, edits_()); });
    progress->reset();
    if (!result)
        return; // the runner told the user why
    if (result->cancelled) {
        runner_.tell(QStringLiteral("The export was cancelled; no file was written."),
                     MessageIcon::Information);
        return;
    }
    QString text = QStringLiteral("Exported %1 recipe(s) to \"%2\".")
                       .arg(result->written)
                       .arg(QDir::toNativeSeparators(choice.file));
    if (const auto asked = choice.what.ids ? qsizetype(choice.what.ids->size()) : 0; result->written < asked)
        text += QStringLiteral(" %1 recipe(s) of the list had been deleted by another program.")
                    .arg(asked - result->written);
    runner_.tell(text, MessageIcon::Information);
}

FileCommands::Conversion FileCommands::offerConversion(const QString& path)
{
    if (!ConversionJob::isOldCollection(path))
        return Conversion::NotChosen;
    const QString question =
        QStringLiteral("The recipe file \"%1\" was made by an earlier version of Pantrio. Convert it now? "
                       "The original is kept as \"%2\".")
            .arg(QDir::toNativeSeparators(path), QFileInfo(ConversionJob::keptName(path)).fileName());
    if (services_.messages.show(question, services_.program.title, MessageIcon::Exclamation,
                                MessageButtons::OkCancel) != MessageAnswer::Ok)
        return Conversion::NotChosen;
    ConversionJob job;
    const auto progress = progressFor(job, QStringLiteral("Converting the recipe file..."), window_);
    bool converted = false;
    services_.pointer.setBusy(true);
    try {
        converted = job.run(path);
    } catch (const StoreError& e) {
        services_.pointer.setBusy(false);
        progress->reset();
        runner_.tell(e.message(), MessageIcon::Exclamation);
        return Conversion::NotDone;
    }
    services_.pointer.setBusy(false);
    progress->reset();
    if (converted)
        return Conversion::Done;
    runner_.tell(QStringLiteral("The conversion was cancelled; the recipe file is as it was."),
                 MessageIcon::Information);
    return Conversion::NotDone;
}

void FileCommands::chooseAndRestore()
{
    if (isServerAddress(session_.location())) {
        runner_.tell(QStringLiteral("This collection lives on a database server, which keeps its backups: "
                                    "whoever looks after the server makes them with pg_dump and puts one "
                                    "back with pg_restore (see the README)."),
                     MessageIcon::Information);
        return;
    }
    const QString path = services_.program.collectionPath();
    const QList<BackupCopy> copies = listBackups(services_.program.backupFolder, path);
    if (copies.isEmpty()) {
        runner_.tell(
            QStringLiteral("There is no copy of the recipe file in \"%1\" yet. Pantrio makes one there "
                           "before the first change of each session.")
                .arg(QDir::toNativeSeparators(services_.program.backupFolder)),
            MessageIcon::Information);
        return;
    }
    RestoreBackupDialog dialog(copies, &window_);
    if (dialog.exec() != QDialog::Accepted || dialog.chosen().isEmpty())
        return;
    const QString chosen = dialog.chosen();
    QString kept;
    if (!runner_.run([&] { kept = pantrio::restoreBackup(session_, path, chosen, edits_()); }))
        return;
    session_.startBackgroundWork();
    QString text = QStringLiteral("The recipe file is now the copy \"%1\", with %2 recipe(s).")
                       .arg(QFileInfo(chosen).fileName())
                       .arg(session_.count());
    if (!kept.isEmpty())
        text += QStringLiteral(" The recipe file as it was is kept as \"%1\".")
                    .arg(QDir::toNativeSeparators(kept));
    runner_.tell(text, MessageIcon::Information);
}

} // namespace pantrio
