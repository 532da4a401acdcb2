#include "ExportDialog.h"

#include "app/RecipeList.h"
#include "platform/MessageBoxes.h"
#include "platform/ProgramInfo.h"
#include "platform/Services.h"
#include "ui/WindowUnits.h"

#include <array>
#include <limits>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace pantrio {

namespace {

struct FormatLook
{
    exchange::ExportFormat format;
    const char* name;
    const char* suffix;
};

constexpr std::array<FormatLook, 3> Formats = {{
    {exchange::ExportFormat::MealMaster, "MealMaster", "mmf"},
    {exchange::ExportFormat::Json, "JSON-LD, schema.org recipes", "json"},
    {exchange::ExportFormat::Html, "Printable HTML cookbook", "html"},
}};

const FormatLook& lookOf(exchange::ExportFormat format)
{
    for (const FormatLook& look : Formats)
        if (look.format == format)
            return look;
    return Formats[0];
}

QString count(int n)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(n);
}

QString defaultFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

} // namespace

ExportDialog::ExportDialog(Services& services, int total, RecipeList* list, QWidget* parent)
    : QDialog(parent), services_(services), total_(total), list_(list)
{
    setObjectName(QStringLiteral("exportDialog"));
    setWindowTitle(QStringLiteral("Export Recipes"));
    setFont(windowFont());
    buildControls(total);
    if (list)
        connect(list, &RecipeList::shownChanged, this, &ExportDialog::listChanged);
    listChanged();
    fileBox_->setText(
        QDir::toNativeSeparators(QDir(defaultFolder()).filePath(QStringLiteral("Recipes.mmf"))));
}

ExportDialog::~ExportDialog() = default;

void ExportDialog::buildControls(int total)
{
    formatBox_ = new QComboBox(this);
    formatBox_->setObjectName(QStringLiteral("cboFormat"));
    formatBox_->setAccessibleName(QStringLiteral("Format"));
    for (const FormatLook& look : Formats)
        formatBox_->addItem(
            QStringLiteral("%1 (.%2)").arg(QLatin1StringView(look.name), QLatin1StringView(look.suffix)),
            int(look.format));
    connect(formatBox_, &QComboBox::currentIndexChanged, this, &ExportDialog::formatChanged);

    auto* scope = new QGroupBox(QStringLiteral("Recipes"), this);
    scope->setObjectName(QStringLiteral("grpScope"));
    everyOption_ = new QRadioButton(QStringLiteral("&Every recipe (%1)").arg(count(total)), scope);
    everyOption_->setObjectName(QStringLiteral("optEvery"));
    everyOption_->setAccessibleName(QStringLiteral("Every recipe"));
    everyOption_->setChecked(true);
    listedOption_ = new QRadioButton(scope);
    listedOption_->setObjectName(QStringLiteral("optListed"));
    listedOption_->setAccessibleName(QStringLiteral("The recipes the recipe list shows, in its order"));
    auto* scopeLayout = new QVBoxLayout(scope);
    scopeLayout->addWidget(everyOption_);
    scopeLayout->addWidget(listedOption_);

    fileBox_ = new QLineEdit(this);
    fileBox_->setObjectName(QStringLiteral("txtFile"));
    fileBox_->setAccessibleName(QStringLiteral("File to write"));
    fileBox_->setMaxLength(std::numeric_limits<int>::max());
    browseButton_ = new QPushButton(QStringLiteral("&Browse\u2026"), this);
    browseButton_->setObjectName(QStringLiteral("cmdBrowse"));
    browseButton_->setAccessibleName(QStringLiteral("Choose the file"));
    browseButton_->setAutoDefault(false);
    connect(browseButton_, &QPushButton::clicked, this, &ExportDialog::browse);
    connect(fileBox_, &QLineEdit::textEdited, this, [this] { confirmed_.clear(); });
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(fileBox_, 1);
    fileRow->addWidget(browseButton_);

    auto* buttons = new QDialogButtonBox(this);
    buttons->setObjectName(QStringLiteral("buttons"));
    exportButton_ = buttons->addButton(QStringLiteral("&Export"), QDialogButtonBox::AcceptRole);
    exportButton_->setObjectName(QStringLiteral("cmdExport"));
    exportButton_->setAccessibleName(QStringLiteral("Export"));
    exportButton_->setDefault(true);
    QPushButton* cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    cancel->setAccessibleName(QStringLiteral("Cancel"));
    connect(exportButton_, &QPushButton::clicked, this, &ExportDialog::tryExport);
    connect(cancel, &QPushButton::clicked, this, &ExportDialog::reject);

    auto* form = new QFormLayout;
    auto* formatLabel = new QLabel(QStringLiteral("&Format:"), this);
    formatLabel->setObjectName(QStringLiteral("lblFormat"));
    formatLabel->setBuddy(formatBox_);
    form->addRow(formatLabel, formatBox_);
    form->addRow(scope);
    auto* fileLabel = new QLabel(QStringLiteral("&Save as:"), this);
    fileLabel->setObjectName(QStringLiteral("lblFile"));
    fileLabel->setBuddy(fileBox_);
    form->addRow(fileLabel, fileRow);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addStretch(1);
    layout->addWidget(buttons);
    resize(std::max(sizeHint().width(), 520), sizeHint().height());
}

exchange::ExportFormat ExportDialog::format() const
{
    return exchange::ExportFormat(formatBox_->currentData().toInt());
}

// The file's extension follows the format; a name of the user's own making stays.
void ExportDialog::formatChanged()
{
    QString path = fileBox_->text().trimmed();
    if (path.isEmpty())
        return;
    const QString suffix = QFileInfo(path).suffix();
    static const QStringList known = {"mmf", "mm", "txt", "json", "jsonld", "html", "htm"};
    if (known.contains(suffix.toLower()))
        path.chop(suffix.size() + 1);
    fileBox_->setText(path + u'.' + QLatin1StringView(lookOf(format()).suffix));
    confirmed_.clear();
}

// The list's rows can be exported once they are all there.
void ExportDialog::listChanged()
{
    QString text;
    bool ready = false;
    if (!list_) {
        text = QStringLiteral("Those the recipe &list shows (open the list first: Ctrl+L)");
    } else if (!list_->error().isEmpty()) {
        text = QStringLiteral("Those the recipe &list shows (it could not be read)");
    } else if (!list_->isLoaded() || list_->isFiltering()) {
        text = QStringLiteral("Those the recipe &list shows (still searching\u2026)");
    } else {
        text = QStringLiteral("Those the recipe &list shows now (%1), in its order")
                   .arg(count(list_->shownCount()));
        ready = true;
    }
    listedOption_->setText(text);
    listedOption_->setEnabled(ready);
    if (!ready && listedOption_->isChecked())
        everyOption_->setChecked(true);
}

void ExportDialog::browse()
{
    const FormatLook& look = lookOf(format());
    QFileDialog dialog(this, QStringLiteral("Export Recipes To"));
    dialog.setObjectName(QStringLiteral("exportFileDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(
        {QStringLiteral("%1 (*.%2)").arg(QLatin1StringView(look.name), QLatin1StringView(look.suffix)),
         QStringLiteral("All files (*)")});
    dialog.setDefaultSuffix(QLatin1StringView(look.suffix));
    dialog.selectFile(targetFile());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString chosen = dialog.selectedFiles().constFirst();
    fileBox_->setText(QDir::toNativeSeparators(chosen));
    confirmed_ = QDir::cleanPath(chosen); // the chooser asked about replacing it
}

// A bare name goes into the usual folder, and a name without an extension gets the format's.
QString ExportDialog::targetFile() const
{
    QString file = QDir::fromNativeSeparators(fileBox_->text().trimmed());
    if (file.isEmpty())
        return {};
    if (file.startsWith(QLatin1StringView("~/")))
        file = QDir::home().filePath(file.mid(2));
    file = QDir(defaultFolder()).absoluteFilePath(file);
    if (QFileInfo(file).suffix().isEmpty() && !file.endsWith(u'/'))
        file += u'.' + QLatin1StringView(lookOf(format()).suffix);
    return QDir::cleanPath(file);
}

bool ExportDialog::targetUsable(const QString& file)
{
    const QFileInfo info(file);
    const QString shown = QDir::toNativeSeparators(file);
    if (file.isEmpty()) {
        tell(QStringLiteral("Type the name of the file to write, or choose one with Browse."),
             MessageIcon::Information);
        return false;
    }
    if (info.isDir()) {
        tell(QStringLiteral("\"%1\" is a folder; name a file in it.").arg(shown), MessageIcon::Exclamation);
        return false;
    }
    if (!info.dir().exists()) {
        tell(QStringLiteral("There is no folder \"%1\".").arg(QDir::toNativeSeparators(info.absolutePath())),
             MessageIcon::Exclamation);
        return false;
    }
    if (info.exists() && file != confirmed_ &&
        services_.messages.show(QStringLiteral("\"%1\" exists already. Replace it?").arg(shown),
                                services_.program.title, MessageIcon::Exclamation,
                                MessageButtons::OkCancel) != MessageAnswer::Ok)
        return false;
    return true;
}

void ExportDialog::tryExport()
{
    const QString file = targetFile();
    if (!targetUsable(file)) {
        fileBox_->setFocus();
        return;
    }
    if (listedOption_->isChecked() ? list_ && list_->shownCount() == 0 : total_ == 0) {
        tell(QStringLiteral("There is no recipe to export."), MessageIcon::Information);
        return;
    }
    Choice choice{file, {}};
    choice.what.format = format();
    choice.what.title = QFileInfo(file).completeBaseName();
    if (listedOption_->isChecked()) {
        if (!list_ || !listedOption_->isEnabled()) {
            tell(QStringLiteral(
                     "The recipe list is no longer open; choose Every recipe, or open the list again."),
                 MessageIcon::Exclamation);
            return;
        }
        std::vector<std::int64_t> ids;
        ids.reserve(std::size_t(list_->shownCount()));
        for (int row = 0; row < list_->shownCount(); ++row)
            ids.push_back(list_->idAt(row));
        choice.what.ids = std::move(ids);
    }
    choice_ = std::move(choice);
    accept();
}

void ExportDialog::tell(const QString& text, MessageIcon icon)
{
    services_.messages.show(text, services_.program.title, icon);
}

} // namespace pantrio
