#include "RecipeWindow.h"

#include "DataControl.h"
#include "platform/BusyPointer.h"
#include "platform/MessageBoxes.h"
#include "platform/ProgramInfo.h"
#include "platform/Services.h"
#include "platform/SettingsStore.h"
#include "printing/PrintRecipe.h"
#include "printing/frmCopyTxt.h"
#include "store/RecordCursor.h"
#include "windows/about/frmAbout.h"
#include "windows/find/frmFind.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <map>

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
    QFont font(QStringLiteral("Liberation Sans")); // stands in for MS Sans Serif
    font.setPointSizeF(8.25);
    setFont(font);
    setFixedSize(layout.clientTwips.width() / 15, layout.clientTwips.height() / 15);
    background_.load(QLatin1String(layout.background));
    buildControls();

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect r(QPoint(), size());
        r.moveCenter(screen->availableGeometry().center());
        move(r.topLeft());
    }
}

RecipeWindow::~RecipeWindow() = default;

void RecipeWindow::buildControls()
{
    for (size_t i = 0; i < layout_.labels.size(); ++i) {
        const LabelSpec& row = layout_.labels[i];
        auto* label = new QLabel(QLatin1String(row.caption), this);
        label->setObjectName(QLatin1String(row.name));
        label->setGeometry(row.place.toPixels());
        label->setTextFormat(Qt::PlainText);
        if (layout_.coloured)
            setTextColour(label, QPalette::WindowText, Cyan);
        labels_[i] = label;
    }

    data_ = new DataControl(layout_.mode, this);
    data_->setObjectName(QStringLiteral("Data1"));
    data_->setGeometry(layout_.data.toPixels());
    if (layout_.dataToolTip)
        data_->setToolTip(QLatin1String(layout_.dataToolTip));
    data_->setAutoFillBackground(true); // a bar of its own, not see-through
    if (layout_.coloured) {
        QPalette p = data_->palette();
        p.setColor(QPalette::Window, Qt::white);
        p.setColor(QPalette::WindowText, DarkBlue);
        data_->setPalette(p);
    }
    connect(data_, &DataControl::validate, this, &RecipeWindow::Data1_Validate);
    connect(data_, &DataControl::reposition, this, &RecipeWindow::Data1_Reposition);
    connect(data_, &DataControl::failed, this, &RecipeWindow::reportFailure);

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
            box = new QLineEdit(this);
        }
        box->setObjectName(QLatin1String(row.name));
        box->setGeometry(row.place.toPixels());
        if (layout_.coloured)
            setTextColour(box, QPalette::Text, row.field == Field::FoodCategoryID ? Red : DarkBlue);
        box->installEventFilter(this);
        data_->bind(box, row.field);
        boxes_[i] = box;
        tabOrder[row.tabIndex] = box;
    }

    const std::map<Command, void (RecipeWindow::*)()> handlers = {
        {Command::New, &RecipeWindow::cmdNew_Click},         {Command::Delete, &RecipeWindow::cmdDelete_Click},
        {Command::Refresh, &RecipeWindow::cmdRefresh_Click}, {Command::Update, &RecipeWindow::cmdUpdate_Click},
        {Command::Print, &RecipeWindow::Print_Click},        {Command::Find, &RecipeWindow::cmdFind_Click},
        {Command::FindNext, &RecipeWindow::cmdFindNext_Click}, {Command::Close, &RecipeWindow::cmdClose_Click},
        {Command::About, &RecipeWindow::cmdAbout_Click},
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

RecordCursor* RecipeWindow::recordset() const
{
    return data_->recordset();
}

void RecipeWindow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawPixmap(0, 0, background_);
}

bool RecipeWindow::eventFilter(QObject* watched, QEvent* event)
{
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
    Form_Load();
    if (!data_->open()) {
        Data1_Reposition();
        tell(data_->openError(), MessageIcon::Exclamation);
    }
    boxes_[0]->setFocus();
}

void RecipeWindow::Form_Load()
{
    const ProgramInfo& program = services_.program;
    setWindowTitle(QStringLiteral("%1   Version: %2.%3").arg(program.title).arg(program.major).arg(program.minor));
    data_->setDatabaseName(program.pathOf(QStringLiteral("Savorix.mdb")));
}

void RecipeWindow::Data1_Reposition()
{
    services_.pointer.setBusy(false);
    // The display never reports a failure; it keeps its last text.
    const RecordCursor* rs = recordset();
    if (!rs)
        return;
    data_->setCaption(QStringLiteral("Recipe Number: %1 of %2").arg(rs->absolutePosition() + 1).arg(rs->recordCount()));
}

void RecipeWindow::Data1_Validate()
{
    services_.pointer.setBusy(true);
}

void RecipeWindow::tell(const QString& text, MessageIcon icon)
{
    services_.messages.show(text, services_.program.title, icon);
}

void RecipeWindow::run(const std::function<void()>& command)
{
    try {
        command();
    } catch (const StoreError& e) {
        reportFailure(e.message());
    }
    services_.pointer.setBusy(false);
}

void RecipeWindow::reportFailure(const QString& message)
{
    services_.pointer.setBusy(false);
    QString text = message;
    if (recordset() && recordset()->hasPendingChanges())
        text += QStringLiteral("\n\nWhat you typed is still in the window and has not been saved yet.");
    tell(text, MessageIcon::Exclamation);
    Data1_Reposition();
}

// The commands need an open recipe file, and most of them a recipe to act on.
bool RecipeWindow::requireRecipe(const QString& nothingToDo)
{
    const RecordCursor* rs = recordset();
    if (!rs) {
        tell(data_->openError() + QStringLiteral("\n\nPress Refresh to try again."), MessageIcon::Exclamation);
        return false;
    }
    if (!nothingToDo.isEmpty() && !rs->hasCurrent() && !rs->isAdding()) {
        tell(nothingToDo, MessageIcon::Information);
        return false;
    }
    return true;
}

void RecipeWindow::cmdNew_Click()
{
    if (!requireRecipe(QString()))
        return;
    run([this] {
        recordset()->addNew();
        boxes_[0]->setFocus();
    });
}

void RecipeWindow::cmdUpdate_Click()
{
    if (!requireRecipe(QStringLiteral("There is no recipe to save. Press Add New to start a new recipe.")))
        return;
    run([this] {
        data_->updateRecord();
        recordset()->setBookmark(recordset()->lastModified());
    });
}

void RecipeWindow::cmdDelete_Click()
{
    if (!requireRecipe(QStringLiteral("There is no recipe to delete.")))
        return;
    if (services_.messages.show(QStringLiteral("Do you want to permently delete this recipe?"),
                                QStringLiteral("Delete Record"), MessageIcon::None, MessageButtons::OkCancel)
        != MessageAnswer::Ok)
        return;
    run([this] {
        RecordCursor* rs = recordset();
        if (rs->isAdding()) { // a recipe not saved yet is simply dropped
            rs->cancelAdd();
            return;
        }
        rs->deleteCurrent();
        rs->movePrevious();
        // Deleting the first recipe leaves the window on the one that is first now.
        if (!rs->hasCurrent() && rs->recordCount() > 0)
            rs->moveFirst();
    });
}

void RecipeWindow::cmdRefresh_Click()
{
    if (!recordset()) {
        open();
        return;
    }
    run([this] { data_->refresh(); });
}

void RecipeWindow::search(const QString& text, bool fromCurrent, const QString& noMatchText,
                          const QString& noMatchTitle)
{
    run([&] {
        services_.pointer.setBusy(true);
        RecordCursor* rs = recordset();
        // With no recipe current there is no place to come back to; the search starts at the first.
        std::optional<Bookmark> mark;
        if (rs->hasCurrent() || (rs->isAdding() && rs->absolutePosition() >= 0))
            mark = rs->bookmark();
        else if (rs->isAdding())
            rs->cancelAdd();
        // Either field holding the text anywhere; a `*` the user typed stands for any run.
        const auto condition = SearchCondition::anyLike({Field::FoodCategoryID, Field::RecipeName},
                                                        QLatin1Char('*') + text + QLatin1Char('*'));
        if (fromCurrent && mark) {
            rs->findNext(condition);
            if (rs->noMatch())
                rs->findFirst(condition);
        } else {
            rs->findFirst(condition);
        }
        if (rs->noMatch()) {
            services_.messages.show(noMatchText, noMatchTitle, MessageIcon::Exclamation);
            if (mark)
                rs->setBookmark(*mark);
        }
        services_.pointer.setBusy(false);
    });
}

void RecipeWindow::cmdFind_Click()
{
    if (!find_)
        find_ = std::make_unique<frmFind>(services_.settings);
    find_->exec();
    const QString text = find_->GetString();
    find_.reset();
    if (text.isEmpty())
        return;
    if (!requireRecipe(QString()))
        return;
    search(text, false, QStringLiteral("No record found."), QStringLiteral("Record not found"));
}

void RecipeWindow::cmdFindNext_Click()
{
    if (!find_)
        find_ = std::make_unique<frmFind>(services_.settings);
    find_->hide();
    if (frmFind::savedText(services_.settings).isEmpty()) {
        services_.messages.show(QStringLiteral("Click the find button to search the database"),
                                QStringLiteral("No Search Data Specified"), MessageIcon::Information);
        return;
    }
    const QString text = find_->FindNext();
    if (text.isEmpty())
        return;
    if (!requireRecipe(QString()))
        return;
    search(text, true, QStringLiteral("No more records found. Click Find again to do another search."),
           QStringLiteral("End of Database."));
}

bool RecipeWindow::FindField(const QString& pattern, const QString& fieldName)
{
    RecordCursor* rs = recordset();
    if (!rs)
        return false;
    try {
        const auto condition =
            SearchCondition::parse(fieldName + QStringLiteral(" LIKE '") + pattern + QStringLiteral("'"));
        rs->findNext(condition);
        if (rs->noMatch())
            rs->findFirst(condition);
    } catch (const StoreError&) {
        services_.pointer.setBusy(false);
        return false; // a pattern the condition language cannot hold matches nothing
    }
    // A search that found nothing leaves the hourglass of its Validate without a Reposition.
    services_.pointer.setBusy(false);
    return !rs->noMatch();
}

void RecipeWindow::Print_Click()
{
    const RecordCursor* rs = recordset();
    if (!rs || !rs->hasCurrent()) {
        showNoRecipeToPrint(services_.messages);
        return;
    }
    if (!copy_)
        copy_ = std::make_unique<frmCopyTxt>();
    printRecipe(*copy_, rs->values(), services_.printer);
}

frmAbout* RecipeWindow::aboutWindow() const
{
    return about_.data();
}

void RecipeWindow::cmdAbout_Click()
{
    frmAbout::showSingle(about_, services_);
}

void RecipeWindow::cmdClose_Click()
{
    find_.reset();
    close();
}

void RecipeWindow::closeEvent(QCloseEvent* event)
{
    if (Form_Unload())
        event->accept();
    else
        event->ignore();
}

bool RecipeWindow::Form_Unload()
{
    if (unloaded_)
        return true;
    if (!frmFind::savedText(services_.settings).isEmpty())
        frmFind::forgetSavedText(services_.settings);
    try {
        data_->close();
    } catch (const StoreError& e) {
        // Closing would throw the edit away; the window stays so that it can be saved.
        services_.pointer.setBusy(false);
        tell(e.message() + QStringLiteral("\n\nPantrio stays open so that what you typed is not lost."),
             MessageIcon::Exclamation);
        return false;
    }
    find_.reset();
    unloaded_ = true;
    if (services_.endProgram)
        services_.endProgram();
    return true;
}

} // namespace pantrio
