#include "RecipeWindow.h"

#include "FieldBinder.h"
#include "exchange/AccessConversion.h"
#include "exchange/RecipeImport.h"
#include "platform/BusyPointer.h"
#include "platform/MessageBoxes.h"
#include "platform/ProgramInfo.h"
#include "platform/Services.h"
#include "platform/SettingsStore.h"
#include "printing/PrintRecipe.h"
#include "printing/RecipePrintPage.h"
#include "store/RecipeBrowser.h"
#include "store/StoreError.h"
#include "windows/about/AboutWindow.h"
#include "windows/find/FindDialog.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QProgressDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTimer>

#include <limits>
#include <map>

namespace pantrio {

namespace {

// Keys that move through the collection from anywhere in the window. In a text box Ctrl+Home
// and Ctrl+End would jump to the start or end of its text; Home, End and the Page keys still do.
const std::array<std::pair<QKeySequence, RecordBar::Arrow>, 4>& recordKeys()
{
    static const std::array<std::pair<QKeySequence, RecordBar::Arrow>, 4> keys = {{
        {QKeySequence(Qt::CTRL | Qt::Key_Home), RecordBar::Arrow::First},
        {QKeySequence(Qt::CTRL | Qt::Key_PageUp), RecordBar::Arrow::Previous},
        {QKeySequence(Qt::CTRL | Qt::Key_PageDown), RecordBar::Arrow::Next},
        {QKeySequence(Qt::CTRL | Qt::Key_End), RecordBar::Arrow::Last},
    }};
    return keys;
}

QKeySequence findEveryFieldKey()
{
    return QKeySequence(Qt::CTRL | Qt::Key_F);
}

// Keys of the window that work from every box.
bool isWindowKey(const QKeyEvent* key)
{
    const QKeySequence pressed(key->keyCombination());
    if (pressed == findEveryFieldKey())
        return true;
    for (const auto& entry : recordKeys())
        if (entry.first == pressed)
            return true;
    return false;
}

const QColor Cyan(0, 255, 255);
const QColor DarkBlue(0, 0, 192);
const QColor Red(255, 0, 0);

void setTextColour(QWidget* w, QPalette::ColorRole role, const QColor& colour)
{
    QPalette p = w->palette();
    p.setColor(role, colour);
    w->setPalette(p);
}

} // namespace

RecipeWindow::RecipeWindow(const RecipeLayout& layout, Services& services, QWidget* parent)
    : QWidget(parent), layout_(layout), services_(services), lastSearch_(FindScope::NameOrCategory)
{
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (layout.closeButton)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    setWindowFlags(flags);
    setObjectName(QLatin1String(layout.windowName));
    setWindowTitle(QLatin1String(layout.initialCaption));
    setWindowIcon(QIcon(QStringLiteral(":/pantrio16.ico")));
    setFont(windowFont());
    setFixedSize(twipsToPixels(layout.clientTwips));
    background_.load(QLatin1String(layout.background));

    browser_ = new RecipeBrowser(layout.mode, this);
    // The binder connects first, so the boxes are staged and redrawn before the window reacts.
    binder_ = new FieldBinder(*browser_, this);
    connect(browser_, &RecipeBrowser::validating, this, &RecipeWindow::markBusy);
    connect(browser_, &RecipeBrowser::positionChanged, this, &RecipeWindow::showPosition);
    browser_->setBackupFolder(services_.program.backupFolder);
    // Told after the command that raised it, and once a session: the changes themselves are saved.
    connect(
        browser_, &RecipeBrowser::backupFailed, this,
        [this](const QString& message) {
            if (backupFailureTold_)
                return;
            backupFailureTold_ = true;
            tell(message +
                     QStringLiteral("\n\nYour changes are saved as usual; only this copy of the recipe file "
                                    "is missing."),
                 MessageIcon::Exclamation);
        },
        Qt::QueuedConnection);
    buildControls();
    setAcceptDrops(true); // recipe files dropped on the window are imported

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect r(QPoint(), size());
        r.moveCenter(screen->availableGeometry().center());
        move(r.topLeft());
    }
}

RecipeWindow::~RecipeWindow() = default;

void RecipeWindow::buildControls()
{
    for (const LabelSpec& row : layout_.labels) {
        auto* label = new QLabel(QLatin1String(row.caption), this);
        label->setObjectName(QLatin1String(row.name));
        label->setGeometry(row.place.toPixels());
        label->setTextFormat(Qt::PlainText);
        if (layout_.coloured)
            setTextColour(label, QPalette::WindowText, Cyan);
    }

    recordBar_ = new RecordBar(this);
    recordBar_->setObjectName(QStringLiteral("Data1"));
    recordBar_->setGeometry(layout_.data.toPixels());
    if (layout_.dataToolTip)
        recordBar_->setToolTip(QLatin1String(layout_.dataToolTip));
    recordBar_->setAutoFillBackground(true); // a bar of its own, not see-through
    if (layout_.coloured) {
        QPalette p = recordBar_->palette();
        p.setColor(QPalette::Window, Qt::white);
        p.setColor(QPalette::WindowText, DarkBlue);
        recordBar_->setPalette(p);
    }
    connect(recordBar_, &RecordBar::arrowPressed, this, &RecipeWindow::followArrow);
    for (const auto& [keys, arrow] : recordKeys()) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, arrow = arrow] { followArrow(arrow); });
    }
    // Only a key: both layouts keep the controls they have always had.
    auto* findEveryField = new QShortcut(findEveryFieldKey(), this);
    findEveryField->setContext(Qt::WindowShortcut);
    connect(findEveryField, &QShortcut::activated, this, &RecipeWindow::findEveryField);

    std::map<int, QWidget*> tabOrder;
    for (size_t i = 0; i < layout_.boxes.size(); ++i) {
        const BoxSpec& row = layout_.boxes[i];
        QWidget* box;
        if (row.multiLine) {
            auto* edit = new QPlainTextEdit(this);
            edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            edit->setTabChangesFocus(true);
            box = edit;
        } else {
            auto* line = new QLineEdit(this);
            // Other programs store longer values than Qt's default limit; a cut one would be saved cut.
            line->setMaxLength(std::numeric_limits<int>::max());
            box = line;
        }
        box->setObjectName(QLatin1String(row.name));
        // A screen reader names each box by the label beside it.
        auto* label = findChild<QLabel*>(QLatin1String(layout_.labels[i].name), Qt::FindDirectChildrenOnly);
        label->setBuddy(box);
        box->setAccessibleName(label->text().remove(QLatin1Char('&')));
        box->setGeometry(row.place.toPixels());
        if (layout_.coloured)
            setTextColour(box, QPalette::Text, row.field == Field::FoodCategoryID ? Red : DarkBlue);
        box->installEventFilter(this);
        // Files dropped on a box are recipes to import, not text to insert.
        if (auto* multi = qobject_cast<QPlainTextEdit*>(box))
            multi->viewport()->installEventFilter(this);
        binder_->bind(box, row.field);
        boxes_[i] = box;
        tabOrder[row.tabIndex] = box;
    }

    const std::map<Command, void (RecipeWindow::*)()> handlers = {
        {Command::New, &RecipeWindow::addNew},         {Command::Delete, &RecipeWindow::deleteRecipe},
        {Command::Refresh, &RecipeWindow::refresh},    {Command::Update, &RecipeWindow::save},
        {Command::Print, &RecipeWindow::print},        {Command::Find, &RecipeWindow::findRecipe},
        {Command::FindNext, &RecipeWindow::findNext},  {Command::Close, &RecipeWindow::closeWindow},
        {Command::About, &RecipeWindow::showAbout},
    };
    for (size_t i = 0; i < layout_.buttons.size(); ++i) {
        const ButtonSpec& row = layout_.buttons[i];
        auto* button = new QPushButton(QString::fromUtf8(row.caption), this);
        button->setObjectName(QLatin1String(row.name));
        button->setGeometry(row.place.toPixels());
        if (row.toolTip)
            button->setToolTip(QString::fromUtf8(row.toolTip));
        // Enter presses the button that has the focus, as Space does.
        button->setAutoDefault(true);
        button->setDefault(layout_.defaultButton == row.command);
        connect(button, &QPushButton::clicked, this, handlers.at(row.command));
        buttons_[i] = button;
        tabOrder[row.tabIndex] = button;
    }

    QWidget* previous = nullptr;
    for (const auto& [index, widget] : tabOrder) {
        if (previous)
            setTabOrder(previous, widget);
        previous = widget;
    }
    boxes_[0]->setFocus();
}

QPushButton* RecipeWindow::button(Command command) const
{
    for (size_t i = 0; i < layout_.buttons.size(); ++i)
        if (layout_.buttons[i].command == command)
            return buttons_[i];
    return nullptr;
}

void RecipeWindow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawPixmap(0, 0, background_);
    if (backgroundWorkDue_) {
        backgroundWorkDue_ = false;
        // After this paint, with the first recipe's, has gone to the screen.
        QTimer::singleShot(0, browser_, &RecipeBrowser::startBackgroundWork);
    }
}

bool RecipeWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (takeFileDrop(event))
        return true;
    // The text boxes would claim these keys for themselves; the window's keys win.
    if (event->type() == QEvent::ShortcutOverride && isWindowKey(static_cast<QKeyEvent*>(event))) {
        event->ignore();
        return true;
    }
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    auto* multi = qobject_cast<QPlainTextEdit*>(watched);
    if (key->modifiers() & Qt::ControlModifier) {
        // Ctrl+Enter types a line break where Enter belongs to the default button.
        if (multi)
            multi->insertPlainText(QStringLiteral("\n"));
        return true;
    }
    if (layout_.defaultButton) {
        button(*layout_.defaultButton)->click();
        return true;
    }
    return !multi; // a one-line box has nothing to do with Enter
}

void RecipeWindow::open()
{
    load();
    const QString path = services_.program.collectionPath();
    if (!openCollection(path) && !offerConversion(path))
        tell(browser_->openError(), MessageIcon::Exclamation);
    boxes_[0]->setFocus();
}

bool RecipeWindow::openCollection(const QString& path)
{
    if (!browser_->open(path))
        return false;
    // Reading ahead in a large collection now would only delay the first recipe on screen.
    backgroundWorkDue_ = true;
    update();
    return true;
}

// The earlier version kept the collection in a Microsoft Access file. Converting it is the
// user's choice; true when they made it (whatever came of it).
bool RecipeWindow::offerConversion(const QString& path)
{
    if (exchange::detectFormat(path) != exchange::Format::Access)
        return false;
    const QString question =
        QStringLiteral("The recipe file \"%1\" was made by an earlier version of Pantrio. Convert it now? "
                       "The original is kept as \"%2\".")
            .arg(QDir::toNativeSeparators(path), QFileInfo(exchange::keptAccessName(path)).fileName());
    if (services_.messages.show(question, services_.program.title, MessageIcon::Exclamation,
                                MessageButtons::OkCancel) != MessageAnswer::Ok)
        return false;
    services_.pointer.setBusy(true);
    try {
        exchange::convertAccessCollection(path);
    } catch (const StoreError& e) {
        services_.pointer.setBusy(false);
        tell(e.message(), MessageIcon::Exclamation);
        return true;
    }
    services_.pointer.setBusy(false);
    if (!openCollection(path))
        tell(browser_->openError(), MessageIcon::Exclamation);
    return true;
}

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

void RecipeWindow::dragEnterEvent(QDragEnterEvent* event)
{
    takeFileDrop(event);
}

void RecipeWindow::dragMoveEvent(QDragMoveEvent* event)
{
    takeFileDrop(event);
}

void RecipeWindow::dropEvent(QDropEvent* event)
{
    takeFileDrop(event);
}

bool RecipeWindow::takeFileDrop(QEvent* event)
{
    if (event->type() != QEvent::DragEnter && event->type() != QEvent::DragMove && event->type() != QEvent::Drop)
        return false;
    auto* drop = static_cast<QDropEvent*>(event);
    const QStringList files = localFiles(drop->mimeData());
    if (files.isEmpty())
        return false;
    drop->acceptProposedAction();
    if (event->type() == QEvent::Drop)
        // Not inside the drop itself: the program the files come from waits for it to end.
        QMetaObject::invokeMethod(this, [this, files] { importDropped(files); }, Qt::QueuedConnection);
    return true;
}

void RecipeWindow::importDropped(const QStringList& files)
{
    if (!browser_->isOpen()) {
        tell(browser_->openError(), MessageIcon::Exclamation);
        return;
    }
    QStringList names;
    for (const QString& file : files)
        names << QFileInfo(file).fileName();
    const QString question =
        QStringLiteral("Import the recipes in %1 into this recipe collection?\n\n%2")
            .arg(files.size() == 1 ? QStringLiteral("this file") : QStringLiteral("these %1 files").arg(files.size()),
                 names.join(u'\n'));
    if (services_.messages.show(question, services_.program.title, MessageIcon::Information,
                                MessageButtons::OkCancel) != MessageAnswer::Ok)
        return;

    QProgressDialog progress(QStringLiteral("Importing recipes..."), QStringLiteral("Cancel"), 0, 1000, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    QStringList refused;
    exchange::ImportReport report;
    report.refusedFile = [&](const QString& file, const QString& problem) {
        refused << QStringLiteral("%1: %2").arg(QFileInfo(file).fileName(), problem);
    };
    report.refusedRecipe = [&](const QString& file, std::int64_t line, const QString& problem) {
        refused << QStringLiteral("%1, line %2: %3").arg(QFileInfo(file).fileName()).arg(line).arg(problem);
    };
    report.progress = [&](const exchange::ImportSummary&, std::int64_t done, std::int64_t total) {
        progress.setValue(total > 0 ? int(done * 999 / total) : 0);
        return !progress.wasCanceled();
    };
    std::optional<exchange::ImportSummary> summary;
    run([&] { summary = browser_->importFiles(files, report); });
    progress.reset();
    if (!summary)
        return; // run() told the user why
    if (summary->cancelled) {
        tell(QStringLiteral("The import was cancelled; nothing was imported."), MessageIcon::Information);
        return;
    }
    QString text = QStringLiteral("Imported %1 recipe(s), %2 duplicate(s) skipped, %3 refused.")
                       .arg(summary->imported)
                       .arg(summary->duplicates)
                       .arg(summary->refused);
    if (!refused.isEmpty()) {
        constexpr qsizetype Shown = 10;
        text += QStringLiteral("\n\n") + refused.mid(0, Shown).join(u'\n');
        if (refused.size() > Shown)
            text += QStringLiteral("\n(and %1 more)").arg(refused.size() - Shown);
    }
    tell(text, summary->refused ? MessageIcon::Exclamation : MessageIcon::Information);
}

void RecipeWindow::load()
{
    const ProgramInfo& program = services_.program;
    setWindowTitle(QStringLiteral("%1   Version: %2.%3").arg(program.title).arg(program.major).arg(program.minor));
}

void RecipeWindow::showPosition()
{
    services_.pointer.setBusy(false);
    // The display never reports a failure; it keeps its last text.
    if (!browser_->isOpen())
        return;
    recordBar_->setPositionText(
        QStringLiteral("Recipe Number: %1 of %2").arg(browser_->position() + 1).arg(browser_->count()));
}

void RecipeWindow::markBusy()
{
    services_.pointer.setBusy(true);
}

void RecipeWindow::tell(const QString& text, MessageIcon icon)
{
    services_.messages.show(text, services_.program.title, icon);
}

bool RecipeWindow::run(const std::function<void()>& command, Attempt attempt)
{
    bool done = false;
    for (bool again = true; again && !done;) {
        try {
            command();
            done = true;
        } catch (const StoreError& e) {
            again = offerWayOn(e, attempt);
        }
    }
    services_.pointer.setBusy(false);
    return done;
}

bool RecipeWindow::ask(const QString& question)
{
    return services_.messages.show(question, services_.program.title, MessageIcon::Exclamation,
                                   MessageButtons::OkCancel) == MessageAnswer::Ok;
}

bool RecipeWindow::offerWayOn(const StoreError& error, Attempt attempt)
{
    services_.pointer.setBusy(false);
    if (!browser_->hasPendingChanges() ||
        (attempt == Attempt::Save && error.kind() != StoreError::Kind::ChangedByOther)) {
        reportFailure(error.message());
        return false;
    }
    if (error.kind() == StoreError::Kind::ChangedByOther) {
        if (ask(error.message() +
                QStringLiteral("\n\nPress OK to save your changes over theirs, or Cancel to "
                               "drop your changes and keep theirs.")))
            browser_->keepMine();
        else
            browser_->takeTheirs();
        return true;
    }
    const QString question =
        attempt == Attempt::Close
            ? QStringLiteral("\n\nClose without saving?")
            : QStringLiteral(
                  "\n\nWhat you typed is still in the window and has not been saved yet. Press OK to keep "
                  "it and stay, or Cancel to discard it and go on.");
    // Closing offers to end without the edit; a move offers to stay with it.
    const bool ok = ask(error.message() + question);
    if (attempt == Attempt::Close ? !ok : ok) {
        showPosition();
        return false;
    }
    browser_->discardChanges();
    return true;
}

void RecipeWindow::reportFailure(const QString& message)
{
    services_.pointer.setBusy(false);
    QString text = message;
    if (browser_->hasPendingChanges())
        text += QStringLiteral("\n\nWhat you typed is still in the window and has not been saved yet.");
    tell(text, MessageIcon::Exclamation);
    showPosition();
}

// The commands need an open recipe file, and most of them a recipe to act on.
bool RecipeWindow::requireRecipe(const QString& nothingToDo)
{
    if (!browser_->isOpen()) {
        tell(browser_->openError() + QStringLiteral("\n\nPress Refresh to try again."), MessageIcon::Exclamation);
        return false;
    }
    if (!nothingToDo.isEmpty() && !browser_->hasCurrent() && !browser_->isAdding()) {
        tell(nothingToDo, MessageIcon::Information);
        return false;
    }
    return true;
}

void RecipeWindow::followArrow(RecordBar::Arrow arrow)
{
    if (!browser_->isOpen())
        return;
    run([this, arrow] {
        switch (arrow) {
        case RecordBar::Arrow::First:
            browser_->moveFirst();
            break;
        case RecordBar::Arrow::Previous:
            browser_->movePrevious();
            break;
        case RecordBar::Arrow::Next:
            browser_->moveNext();
            break;
        case RecordBar::Arrow::Last:
            browser_->moveLast();
            break;
        }
    });
}

void RecipeWindow::addNew()
{
    if (!requireRecipe(QString()))
        return;
    run([this] {
        browser_->addNew();
        boxes_[0]->setFocus();
    });
}

void RecipeWindow::save()
{
    if (!requireRecipe(QStringLiteral("There is no recipe to save. Press Add New to start a new recipe.")))
        return;
    run([this] { browser_->save(); }, Attempt::Save);
}

void RecipeWindow::deleteRecipe()
{
    if (!requireRecipe(QStringLiteral("There is no recipe to delete.")))
        return;
    if (services_.messages.show(QStringLiteral("Do you want to permently delete this recipe?"),
                                QStringLiteral("Delete Record"), MessageIcon::None, MessageButtons::OkCancel)
        != MessageAnswer::Ok)
        return;
    run([this] { browser_->deleteCurrent(); });
}

void RecipeWindow::refresh()
{
    if (!browser_->isOpen()) {
        open();
        return;
    }
    run([this] { browser_->refresh(); });
}

void RecipeWindow::search(FindScope scope, const QString& text, bool fromCurrent, const QString& noMatchText,
                          const QString& noMatchTitle)
{
    run([&] {
        services_.pointer.setBusy(true);
        const auto tellNoMatch = [&] {
            services_.messages.show(noMatchText, noMatchTitle, MessageIcon::Exclamation);
        };
        if (scope == FindScope::EveryField) {
            if (fromCurrent)
                browser_->findAnywhereNext(text, tellNoMatch);
            else
                browser_->findAnywhere(text, tellNoMatch);
        } else if (fromCurrent) {
            browser_->findNext(text, tellNoMatch);
        } else {
            browser_->find(text, tellNoMatch);
        }
        services_.pointer.setBusy(false);
    });
}

// The hidden dialog Find Next leaves behind may be the other search's.
FindDialog& RecipeWindow::findDialog(FindScope scope)
{
    if (!findDialog_ || findDialog_->scope() != scope)
        findDialog_ = std::make_unique<FindDialog>(services_.settings, scope);
    return *findDialog_;
}

void RecipeWindow::findRecipe()
{
    startSearch(FindScope::NameOrCategory);
}

void RecipeWindow::findEveryField()
{
    startSearch(FindScope::EveryField);
}

void RecipeWindow::startSearch(FindScope scope)
{
    findDialog(scope).exec();
    const QString text = findDialog_->GetString();
    findDialog_.reset();
    // Even when cancelled: its saved text is now empty, as Find's is after a cancelled Find.
    lastSearch_ = scope;
    if (text.isEmpty())
        return;
    if (!requireRecipe(QString()))
        return;
    search(scope, text, false, QStringLiteral("No record found."), QStringLiteral("Record not found"));
}

void RecipeWindow::findNext()
{
    findDialog(lastSearch_).hide();
    if (FindDialog::savedText(services_.settings, lastSearch_).isEmpty()) {
        services_.messages.show(QStringLiteral("Click the find button to search the database"),
                                QStringLiteral("No Search Data Specified"), MessageIcon::Information);
        return;
    }
    const QString text = findDialog_->savedSearchText();
    if (text.isEmpty())
        return;
    if (!requireRecipe(QString()))
        return;
    search(lastSearch_, text, true,
           QStringLiteral("No more records found. Click Find again to do another search."),
           QStringLiteral("End of Database."));
}

bool RecipeWindow::FindField(const QString& pattern, const QString& fieldName)
{
    const bool found = browser_->findField(pattern, fieldName);
    // A search that found nothing leaves the hourglass of its Validate without a Reposition.
    services_.pointer.setBusy(false);
    return found;
}

void RecipeWindow::print()
{
    if (!browser_->hasCurrent()) {
        showNoRecipeToPrint(services_.messages);
        return;
    }
    if (!printPage_)
        printPage_ = std::make_unique<RecipePrintPage>();
    printRecipe(*printPage_, browser_->values(), services_.printer);
}

void RecipeWindow::showAbout()
{
    AboutWindow::showSingle(aboutWindow_, services_);
}

void RecipeWindow::closeWindow()
{
    findDialog_.reset();
    close();
}

void RecipeWindow::closeEvent(QCloseEvent* event)
{
    if (unload())
        event->accept();
    else
        event->ignore();
}

bool RecipeWindow::unload()
{
    if (unloaded_)
        return true;
    if (!run([this] { browser_->close(); }, Attempt::Close))
        return false; // the user stays with an edit that could not be saved
    // Only now that the program really ends.
    if (!FindDialog::savedText(services_.settings).isEmpty() ||
        !FindDialog::savedText(services_.settings, FindScope::EveryField).isEmpty())
        FindDialog::forgetSavedText(services_.settings);
    findDialog_.reset();
    unloaded_ = true;
    if (services_.endProgram)
        services_.endProgram();
    return true;
}

} // namespace pantrio
