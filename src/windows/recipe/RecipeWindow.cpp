#include "RecipeWindow.h"

#include "app/RecipeSession.h"
#include "CommandRunner.h"
#include "FieldBinder.h"
#include "FileCommands.h"
#include "platform/BusyPointer.h"
#include "platform/MessageBoxes.h"
#include "platform/ProgramInfo.h"
#include "platform/Services.h"
#include "platform/SettingsStore.h"
#include "printing/PrintRecipe.h"
#include "printing/RecipePrintPage.h"
#include "RecipeMenu.h"
#include "SharedCollectionCommands.h"
#include "store/StoreError.h"
#include "windows/about/AboutWindow.h"
#include "windows/find/FindDialog.h"
#include "windows/keys/KeysWindow.h"
#include "windows/list/RecipeListWindow.h"

#include <limits>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTimer>

namespace pantrio {

namespace {

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
    : QWidget(parent), layout_(layout), services_(services)
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

    session_ = new RecipeSession(layout.mode, this);
    // The binder connects first, so the boxes are redrawn before the record bar.
    binder_ = new FieldBinder(*session_, this);
    connect(session_, &RecipeSession::currentChanged, this, &RecipeWindow::showPosition);
    session_->setBackupFolder(services_.program.backupFolder);
    // Told after the command that raised it: the changes themselves are saved.
    connect(session_, &RecipeSession::backupFailed, this, &RecipeWindow::tellBackupFailed,
            Qt::QueuedConnection);
    runner_ = std::make_unique<CommandRunner>(*session_, services_, [this] { showPosition(); });
    files_ = new FileCommands(*this, *session_, services_, *runner_, [this] { return binder_->edits(); });
    shared_ = std::make_unique<SharedCollectionCommands>(*this, *session_, services_, *runner_,
                                                         [this] { return binder_->edits(); });
    buildControls();
    setAcceptDrops(true); // recipe files dropped on the window are imported

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect r(QPoint(), size());
        r.moveCenter(screen->availableGeometry().center());
        move(r.topLeft());
    }
}

RecipeWindow::~RecipeWindow() = default;

void RecipeWindow::tellBackupFailed(const QString& message)
{
    if (std::exchange(backupFailureTold_, true))
        return; // once a session
    runner_->tell(message +
                      QStringLiteral("\n\nYour changes are saved as usual; only this copy of the recipe file "
                                     "is missing."),
                  MessageIcon::Exclamation);
}

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
    for (const auto& [keys, arrow] : RecordBar::keys()) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, arrow = arrow] { followArrow(arrow); });
    }
    // A menu and keys: both layouts keep the controls they have always had.
    menu_ = new RecipeMenu(*this, [this](RecipeMenu::Entry entry) {
        switch (entry) {
        case RecipeMenu::Entry::RecipeList:
            showRecipeList();
            break;
        case RecipeMenu::Entry::FindEveryField:
            findEveryField();
            break;
        case RecipeMenu::Entry::ImportRecipes:
            files_->chooseAndImport();
            break;
        case RecipeMenu::Entry::ExportRecipes:
            files_->chooseAndExport();
            break;
        case RecipeMenu::Entry::UseSharedCollection:
            shared_->chooseShared();
            break;
        case RecipeMenu::Entry::UseLocalCollection:
            shared_->useLocal();
            break;
        case RecipeMenu::Entry::RestoreBackup:
            files_->chooseAndRestore();
            break;
        case RecipeMenu::Entry::Keys:
            showKeys();
            break;
        }
    });

    std::map<int, QWidget*> tabOrder;
    buildBoxes(tabOrder);
    buildButtons(tabOrder);
    QWidget* previous = nullptr;
    for (const auto& [index, widget] : tabOrder) {
        if (previous)
            setTabOrder(previous, widget);
        previous = widget;
    }
    boxes_[0]->setFocus();
}

void RecipeWindow::buildBoxes(std::map<int, QWidget*>& tabOrder)
{
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
}

void RecipeWindow::buildButtons(std::map<int, QWidget*>& tabOrder)
{
    const std::map<Command, void (RecipeWindow::*)()> handlers = {
        {Command::New, &RecipeWindow::addNew},        {Command::Delete, &RecipeWindow::deleteRecipe},
        {Command::Refresh, &RecipeWindow::refresh},   {Command::Update, &RecipeWindow::save},
        {Command::Print, &RecipeWindow::print},       {Command::Find, &RecipeWindow::findRecipe},
        {Command::FindNext, &RecipeWindow::findNext}, {Command::Close, &RecipeWindow::closeWindow},
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
        QTimer::singleShot(0, session_, &RecipeSession::startBackgroundWork);
    }
}

bool RecipeWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (files_->take(event))
        return true;
    // The text boxes would claim these keys for themselves; the window's keys win.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (RecordBar::isRecordKey(key) || menu_->isEntryKey(key)) {
            event->ignore();
            return true;
        }
    }
    if (event->type() == QEvent::ContextMenu) {
        auto* widget = qobject_cast<QWidget*>(watched);
        // A multi-line box gets the event on its viewport.
        QWidget* box = qobject_cast<QPlainTextEdit*>(widget ? widget->parentWidget() : nullptr)
                           ? widget->parentWidget()
                           : widget;
        menu_->showForBox(box, static_cast<QContextMenuEvent*>(event));
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
    const QString path = services_.program.collectionLocation();
    if (!openCollection(path) && !offerConversion(path))
        runner_->tell(session_->openError(), MessageIcon::Exclamation);
    boxes_[0]->setFocus();
}

bool RecipeWindow::openCollection(const QString& path)
{
    if (!session_->open(path))
        return false;
    // Reading ahead in a large collection now would only delay the first recipe on screen.
    backgroundWorkDue_ = true;
    update();
    return true;
}

// True when the user chose whether to convert an older collection, whatever came of it.
bool RecipeWindow::offerConversion(const QString& path)
{
    switch (files_->offerConversion(path)) {
    case FileCommands::Conversion::NotChosen:
        return false;
    case FileCommands::Conversion::Done:
        if (!openCollection(path))
            runner_->tell(session_->openError(), MessageIcon::Exclamation);
        return true;
    case FileCommands::Conversion::NotDone:
        return true;
    }
    return true;
}

void RecipeWindow::dragEnterEvent(QDragEnterEvent* event)
{
    files_->take(event);
}

void RecipeWindow::dragMoveEvent(QDragMoveEvent* event)
{
    files_->take(event);
}

void RecipeWindow::dropEvent(QDropEvent* event)
{
    files_->take(event);
}

void RecipeWindow::load()
{
    const ProgramInfo& program = services_.program;
    setWindowTitle(
        QStringLiteral("%1   Version: %2.%3").arg(program.title).arg(program.major).arg(program.minor));
}

void RecipeWindow::showPosition()
{
    // The display never reports a failure; it keeps its last text.
    if (!session_->isOpen())
        return;
    recordBar_->setPositionText(
        QStringLiteral("Recipe Number: %1 of %2").arg(session_->position() + 1).arg(session_->count()));
}

// The commands need an open recipe file, and most of them a recipe to act on.
bool RecipeWindow::requireRecipe(const QString& nothingToDo)
{
    if (!session_->isOpen()) {
        runner_->tell(session_->openError() + QStringLiteral("\n\nPress Refresh to try again."),
                      MessageIcon::Exclamation);
        return false;
    }
    if (!nothingToDo.isEmpty() && !session_->hasCurrent() && !session_->isAdding()) {
        runner_->tell(nothingToDo, MessageIcon::Information);
        return false;
    }
    return true;
}

void RecipeWindow::followArrow(RecordBar::Arrow arrow)
{
    if (!session_->isOpen())
        return;
    runner_->run([this, arrow] {
        const RecipeEdits edits = binder_->edits();
        switch (arrow) {
        case RecordBar::Arrow::First:
            session_->moveFirst(edits);
            break;
        case RecordBar::Arrow::Previous:
            session_->movePrevious(edits);
            break;
        case RecordBar::Arrow::Next:
            session_->moveNext(edits);
            break;
        case RecordBar::Arrow::Last:
            session_->moveLast(edits);
            break;
        }
    });
}

void RecipeWindow::addNew()
{
    if (!requireRecipe(QString()))
        return;
    runner_->run([this] {
        session_->addNew(binder_->edits());
        boxes_[0]->setFocus();
    });
}

void RecipeWindow::save()
{
    if (!requireRecipe(QStringLiteral("There is no recipe to save. Press Add New to start a new recipe.")))
        return;
    runner_->run([this] { session_->save(binder_->edits()); }, CommandRunner::Attempt::Save);
}

void RecipeWindow::deleteRecipe()
{
    if (!requireRecipe(QStringLiteral("There is no recipe to delete.")))
        return;
    if (services_.messages.show(QStringLiteral("Do you want to permently delete this recipe?"),
                                QStringLiteral("Delete Record"), MessageIcon::None,
                                MessageButtons::OkCancel) != MessageAnswer::Ok)
        return;
    runner_->run([this] { session_->deleteCurrent(binder_->edits()); });
}

void RecipeWindow::refresh()
{
    if (!session_->isOpen()) {
        open();
        return;
    }
    runner_->run([this] { session_->refresh(binder_->edits()); });
}

void RecipeWindow::search(const QString& text, bool fromCurrent, const QString& noMatchText,
                          const QString& noMatchTitle)
{
    runner_->run([&] {
        // Told over the busy pointer, which goes back to normal once the search is over.
        if (!session_->find(text, fromCurrent, binder_->edits()))
            services_.messages.show(noMatchText, noMatchTitle, MessageIcon::Exclamation);
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
    session_->setSearchScope(scope);
    if (text.isEmpty())
        return;
    if (!requireRecipe(QString()))
        return;
    search(text, false, QStringLiteral("No record found."), QStringLiteral("Record not found"));
}

void RecipeWindow::findNext()
{
    findDialog(session_->searchScope()).hide();
    if (FindDialog::savedText(services_.settings, session_->searchScope()).isEmpty()) {
        services_.messages.show(QStringLiteral("Click the find button to search the database"),
                                QStringLiteral("No Search Data Specified"), MessageIcon::Information);
        return;
    }
    const QString text = findDialog_->savedSearchText();
    if (text.isEmpty())
        return;
    if (!requireRecipe(QString()))
        return;
    search(text, true, QStringLiteral("No more records found. Click Find again to do another search."),
           QStringLiteral("End of Database."));
}

bool RecipeWindow::FindField(const QString& pattern, const QString& fieldName)
{
    services_.pointer.setBusy(true);
    const bool found = session_->findField(pattern, fieldName, binder_->edits());
    services_.pointer.setBusy(false);
    return found;
}

void RecipeWindow::print()
{
    if (!session_->hasCurrent()) {
        showNoRecipeToPrint(services_.messages);
        return;
    }
    if (!printPage_)
        printPage_ = std::make_unique<RecipePrintPage>();
    printRecipe(*printPage_, session_->values(), services_.printer);
}

void RecipeWindow::contextMenuEvent(QContextMenuEvent* event)
{
    // The background, a label, the record bar or the picture: none has a menu of its own.
    menu_->showAt(event->globalPos());
}

void RecipeWindow::showKeys()
{
    if (!keysWindow_) {
        keysWindow_ = new KeysWindow(this);
        keysWindow_->setAttribute(Qt::WA_DeleteOnClose);
    }
    keysWindow_->show();
    keysWindow_->raise();
    keysWindow_->activateWindow();
}

void RecipeWindow::showRecipeList()
{
    if (!session_->isOpen()) {
        runner_->tell(session_->openError(), MessageIcon::Exclamation);
        return;
    }
    if (!listWindow_) {
        listWindow_ = new RecipeListWindow(*session_, services_, this);
        connect(listWindow_, &RecipeListWindow::recipeChosen, this, &RecipeWindow::showChosen);
    }
    listWindow_->show();
    listWindow_->raise();
    listWindow_->activateWindow();
}

// As any move: an edit in the boxes is saved first, with the same questions when it cannot be.
void RecipeWindow::showChosen(qint64 id)
{
    runner_->run([this, id] { session_->showRecipe(id, binder_->edits()); });
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
    if (!runner_->run([this] { session_->close(binder_->edits()); }, CommandRunner::Attempt::Close))
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
