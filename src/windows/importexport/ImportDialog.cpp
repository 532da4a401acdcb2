#include "ImportDialog.h"

#include "DroppedFiles.h"
#include "exchange/PageFetcher.h"
#include "platform/MessageBoxes.h"
#include "platform/ProgramInfo.h"
#include "platform/Services.h"
#include "ui/WindowUnits.h"

#include <limits>
#include <QDialogButtonBox>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace pantrio {

ImportDialog::ImportDialog(Services& services, Importer importer, QWidget* parent)
    : QDialog(parent), services_(services), importer_(std::move(importer)),
      fetcher_(new exchange::PageFetcher(exchange::PageFetcher::DefaultStallLimit, this))
{
    setObjectName(QStringLiteral("importDialog"));
    setWindowTitle(QStringLiteral("Import Recipes"));
    setFont(windowFont());
    resize(520, 400);
    buildControls();
    connect(fetcher_, &exchange::PageFetcher::finished, this, &ImportDialog::fetchFinished);
    connect(fetcher_, &exchange::PageFetcher::progress, this, &ImportDialog::showProgress);
    setFetching(false);
    setAcceptDrops(true);
}

ImportDialog::~ImportDialog() = default;

void ImportDialog::dragEnterEvent(QDragEnterEvent* event)
{
    if (!fetcher_->isRunning() && !droppedFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void ImportDialog::dropEvent(QDropEvent* event)
{
    const QStringList files = droppedFiles(event->mimeData());
    if (fetcher_->isRunning() || files.isEmpty())
        return;
    event->acceptProposedAction();
    addFiles(files);
}

void ImportDialog::buildControls()
{
    auto* filesLabel = new QLabel(QStringLiteral("Recipe &files:"), this);
    filesLabel->setObjectName(QStringLiteral("lblFiles"));
    fileList_ = new QListWidget(this);
    fileList_->setObjectName(QStringLiteral("lstFiles"));
    fileList_->setAccessibleName(QStringLiteral("Recipe files to import"));
    fileList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    filesLabel->setBuddy(fileList_);
    auto* removeKey = new QShortcut(QKeySequence::Delete, fileList_, nullptr, nullptr, Qt::WidgetShortcut);
    connect(removeKey, &QShortcut::activated, this, &ImportDialog::removeSelected);

    addButton_ = new QPushButton(QStringLiteral("&Add Files\u2026"), this);
    addButton_->setObjectName(QStringLiteral("cmdAddFiles"));
    addButton_->setAccessibleName(QStringLiteral("Add files"));
    removeButton_ = new QPushButton(QStringLiteral("&Remove"), this);
    removeButton_->setObjectName(QStringLiteral("cmdRemoveFiles"));
    removeButton_->setAccessibleName(QStringLiteral("Remove the selected files"));
    for (QPushButton* b : {addButton_, removeButton_})
        b->setAutoDefault(false);
    connect(addButton_, &QPushButton::clicked, this, &ImportDialog::chooseFiles);
    connect(removeButton_, &QPushButton::clicked, this, &ImportDialog::removeSelected);
    connect(fileList_, &QListWidget::itemSelectionChanged, this, [this] {
        removeButton_->setEnabled(!fetcher_->isRunning() && !fileList_->selectedItems().isEmpty());
    });

    auto* addressLabel = new QLabel(QStringLiteral("&Web page address (http:// or https://):"), this);
    addressLabel->setObjectName(QStringLiteral("lblAddress"));
    addressBox_ = new QLineEdit(this);
    addressBox_->setObjectName(QStringLiteral("txtAddress"));
    addressBox_->setAccessibleName(QStringLiteral("Web page address"));
    addressBox_->setPlaceholderText(QStringLiteral("https://"));
    addressBox_->setMaxLength(std::numeric_limits<int>::max());
    addressLabel->setBuddy(addressBox_);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("lblStatus"));
    status_->setAccessibleName(QStringLiteral("Fetch status"));
    status_->setWordWrap(true);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("barFetch"));
    progress_->setAccessibleName(QStringLiteral("Fetch progress"));
    progress_->setTextVisible(false);

    auto* buttons = new QDialogButtonBox(this);
    buttons->setObjectName(QStringLiteral("buttons"));
    importButton_ = buttons->addButton(QStringLiteral("&Import"), QDialogButtonBox::AcceptRole);
    importButton_->setObjectName(QStringLiteral("cmdImport"));
    importButton_->setAccessibleName(QStringLiteral("Import"));
    importButton_->setDefault(true);
    cancelButton_ = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancelButton_->setObjectName(QStringLiteral("cmdCancel"));
    cancelButton_->setAccessibleName(QStringLiteral("Cancel"));
    // Import starts the work; the dialog closes only once it is done.
    connect(importButton_, &QPushButton::clicked, this, &ImportDialog::startImport);
    connect(cancelButton_, &QPushButton::clicked, this, &ImportDialog::reject);

    auto* fileButtons = new QVBoxLayout;
    fileButtons->addWidget(addButton_);
    fileButtons->addWidget(removeButton_);
    fileButtons->addStretch(1);
    auto* filesRow = new QHBoxLayout;
    filesRow->addWidget(fileList_, 1);
    filesRow->addLayout(fileButtons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(filesLabel);
    layout->addLayout(filesRow, 1);
    layout->addSpacing(8);
    layout->addWidget(addressLabel);
    layout->addWidget(addressBox_);
    layout->addWidget(status_);
    layout->addWidget(progress_);
    layout->addWidget(buttons);
    setTabOrder(fileList_, addButton_);
    setTabOrder(addButton_, removeButton_);
    setTabOrder(removeButton_, addressBox_);
}

QStringList ImportDialog::files() const
{
    QStringList files;
    for (int i = 0; i < fileList_->count(); ++i)
        files << fileList_->item(i)->data(Qt::UserRole).toString();
    return files;
}

void ImportDialog::addFiles(const QStringList& files)
{
    QStringList listed = this->files();
    for (const QString& file : files) {
        const QString path = QFileInfo(file).absoluteFilePath();
        if (listed.contains(path))
            continue;
        listed << path;
        auto* item = new QListWidgetItem(QDir::toNativeSeparators(path), fileList_);
        item->setData(Qt::UserRole, path);
        item->setToolTip(QDir::toNativeSeparators(path));
    }
}

void ImportDialog::chooseFiles()
{
    QFileDialog dialog(this, QStringLiteral("Choose Recipe Files"));
    dialog.setObjectName(QStringLiteral("importFileDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters(
        {QStringLiteral("Recipe files (*.mmf *.mm *.txt *.json *.jsonld *.html *.htm *.mdb)"),
         QStringLiteral("MealMaster (*.mmf *.mm *.txt)"), QStringLiteral("JSON-LD, JSON (*.json *.jsonld)"),
         QStringLiteral("Web pages (*.html *.htm)"), QStringLiteral("Access, earlier Pantrio (*.mdb)"),
         QStringLiteral("All files (*)")});
    if (const QStringList listed = files(); !listed.isEmpty())
        dialog.setDirectory(QFileInfo(listed.last()).absolutePath());
    if (dialog.exec() == QDialog::Accepted)
        addFiles(dialog.selectedFiles());
}

void ImportDialog::removeSelected()
{
    if (fetcher_->isRunning())
        return;
    qDeleteAll(fileList_->selectedItems());
}

void ImportDialog::tell(const QString& text, MessageIcon icon)
{
    services_.messages.show(text, services_.program.title, icon);
}

void ImportDialog::startImport()
{
    if (fetcher_->isRunning())
        return;
    const QString typed = addressBox_->text().trimmed();
    const QStringList files = this->files();
    if (typed.isEmpty() && files.isEmpty()) {
        tell(QStringLiteral(
                 "Add the recipe files to import, or type the address of a web page with a recipe."),
             MessageIcon::Information);
        return;
    }
    if (typed.isEmpty()) {
        finish(files, {});
        return;
    }
    const QUrl address(typed);
    const QString problem = address.scheme().isEmpty()
                                ? QStringLiteral("an address begins with http:// or https://")
                                : exchange::PageFetcher::addressProblem(address);
    if (!problem.isEmpty()) {
        tell(QStringLiteral("Pantrio cannot fetch \"%1\": %2.").arg(typed, problem),
             MessageIcon::Exclamation);
        addressBox_->setFocus();
        return;
    }
    fetching_ = typed;
    setFetching(true);
    status_->setText(QStringLiteral("Fetching %1\u2026").arg(typed));
    fetcher_->start(address);
}

void ImportDialog::showProgress(qint64 received, qint64 total)
{
    if (total > 0 && total <= std::numeric_limits<int>::max()) {
        progress_->setRange(0, int(total));
        progress_->setValue(int(std::min(received, total)));
    }
    status_->setText(QStringLiteral("Fetching %1\u2026 %2 kB").arg(fetching_).arg((received + 999) / 1000));
}

void ImportDialog::fetchFinished()
{
    const QString address = std::exchange(fetching_, QString());
    setFetching(false);
    const exchange::FetchResult& result = fetcher_->result();
    if (result.failure == exchange::FetchFailure::Cancelled) {
        status_->setText(QStringLiteral("The fetch was cancelled; nothing was imported."));
        return;
    }
    if (!result.ok()) {
        status_->setText(QString());
        tell(QStringLiteral("Pantrio could not fetch \"%1\": %2. Nothing was imported.")
                 .arg(address, result.problem),
             MessageIcon::Exclamation);
        addressBox_->setFocus();
        return;
    }
    status_->setText(QString());
    QHash<QString, exchange::FetchedPage> pages;
    pages.insert(address, {result.body, result.charset, result.address.toString()});
    finish(files() << address, pages);
}

void ImportDialog::finish(const QStringList& files, const QHash<QString, exchange::FetchedPage>& pages)
{
    if (importer_(files, pages))
        accept();
}

// Everything but Cancel, which then stops the fetch only, waits while a page is fetched.
void ImportDialog::setFetching(bool fetching)
{
    for (QWidget* w : std::initializer_list<QWidget*>{fileList_, addButton_, addressBox_, importButton_})
        w->setEnabled(!fetching);
    removeButton_->setEnabled(!fetching && !fileList_->selectedItems().isEmpty());
    progress_->setVisible(fetching);
    progress_->setRange(0, 0); // busy until the size is known
    cancelButton_->setAccessibleName(fetching ? QStringLiteral("Cancel the fetch")
                                              : QStringLiteral("Cancel"));
    if (fetching)
        cancelButton_->setFocus();
}

void ImportDialog::reject()
{
    if (fetcher_->isRunning()) {
        fetcher_->cancel();
        return;
    }
    QDialog::reject();
}

} // namespace pantrio
