#include "RecipeListWindow.h"

#include "app/RecipeList.h"
#include "app/RecipeSession.h"
#include "platform/Services.h"
#include "platform/SettingsKeys.h"
#include "RecipeListModel.h"
#include "ui/WindowUnits.h"

#include <algorithm>
#include <array>
#include <limits>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QScreen>
#include <QTableView>
#include <QVBoxLayout>

namespace pantrio {

namespace {

// The names the settings file keeps the sort column under, as the table names the fields.
const std::array<QString, 3> SortNames = {QStringLiteral("RecipeName"), QStringLiteral("FoodCategoryID"),
                                          QStringLiteral("TimeToPrepare")};

} // namespace

RecipeListWindow::RecipeListWindow(RecipeSession& session, Services& services, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(&session), services_(services)
{
    setObjectName(QStringLiteral("frmRecipeList"));
    setWindowTitle(QStringLiteral("Recipe List"));
    setFont(windowFont());
    resize(560, 420);

    filterBox_ = new QLineEdit(this);
    filterBox_->setObjectName(QStringLiteral("txtFilter"));
    filterBox_->setMaxLength(std::numeric_limits<int>::max());
    filterBox_->setClearButtonEnabled(true);
    filterBox_->setPlaceholderText(QStringLiteral("Type to filter"));
    filterBox_->setAccessibleName(QStringLiteral("Filter"));
    filterBox_->setAccessibleDescription(
        QStringLiteral("Shows the recipes any of whose fields contain the text, ignoring accents and "
                       "letter case. Up and Down choose a recipe, Enter shows it."));

    model_ = new RecipeListModel(this);
    view_ = new QTableView(this);
    view_->setObjectName(QStringLiteral("lstRecipes"));
    view_->setAccessibleName(QStringLiteral("Recipes"));
    view_->setModel(model_);
    // Rows of one height, so that a million of them are laid out without asking each one.
    view_->verticalHeader()->hide();
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 4);
    view_->setShowGrid(false);
    view_->setWordWrap(false);
    view_->setTabKeyNavigation(false);
    view_->horizontalHeader()->setStretchLastSection(true);
    view_->horizontalHeader()->setHighlightSections(false);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->horizontalHeader()->setSectionsClickable(true);
    view_->horizontalHeader()->setSortIndicatorShown(true);
    view_->horizontalHeader()->setSectionsMovable(false);
    view_->horizontalHeader()->resizeSection(0, 260);
    view_->horizontalHeader()->resizeSection(1, 140);

    countLabel_ = new QLabel(this);
    countLabel_->setObjectName(QStringLiteral("lblCount"));
    countLabel_->setAccessibleName(QStringLiteral("Recipes shown"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(filterBox_);
    layout->addWidget(view_, 1);
    layout->addWidget(countLabel_);
    setTabOrder(filterBox_, view_);

    filterBox_->installEventFilter(this);
    view_->installEventFilter(this);
    connect(filterBox_, &QLineEdit::textChanged, this, &RecipeListWindow::filterChanged);
    connect(model_, &RecipeListModel::rowsRenewed, this, &RecipeListWindow::rowsRenewed);
    connect(view_->horizontalHeader(), &QHeaderView::sectionClicked, this, &RecipeListWindow::sortBy);
    connect(view_, &QAbstractItemView::doubleClicked, this, &RecipeListWindow::choose);
    connect(view_, &QAbstractItemView::pressed, this, [this] { selectFirst_ = false; });
    connect(view_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid() && model_->list() && current.row() < model_->rowCount())
                    chosenId_ = model_->list()->idAt(current.row());
            });
    filterBox_->setFocus();
    restoreSettings();
    bindList();
}

RecipeListWindow::~RecipeListWindow()
{
    if (isVisible())
        saveSettings();
}

RecipeList* RecipeListWindow::list() const
{
    return model_->list();
}

void RecipeListWindow::bindList()
{
    // A session that opened another file since has another list.
    RecipeList* list = session_ ? session_->recipeList() : nullptr;
    if (list && list != model_->list()) {
        list->sortBy(RecipeListModel::columnAt(view_->horizontalHeader()->sortIndicatorSection()));
        list->setFilter(filterBox_->text());
    }
    model_->setList(list);
    showCount();
}

void RecipeListWindow::restoreSettings()
{
    const QStringList place = readSetting(services_.settings, RecipeListGeometryKey).split(QLatin1Char(','));
    if (place.size() == 4) {
        std::array<int, 4> v{};
        bool ok = true;
        for (std::size_t i = 0; i < v.size() && ok; ++i)
            v[i] = place[qsizetype(i)].trimmed().toInt(&ok);
        const QRect rect(v[0], v[1], v[2], v[3]);
        // A place on a screen no longer attached is not taken.
        if (ok && rect.width() > 0 && rect.height() > 0 && QGuiApplication::screenAt(rect.center()))
            setGeometry(rect);
        else if (ok && rect.width() > 0 && rect.height() > 0)
            resize(rect.size());
    }
    const QString sortName = readSetting(services_.settings, RecipeListSortKey);
    int section = 0;
    for (std::size_t i = 0; i < SortNames.size(); ++i)
        if (SortNames[i] == sortName)
            section = int(i);
    view_->horizontalHeader()->setSortIndicator(section, Qt::AscendingOrder);
    settingsRead_ = true;
}

void RecipeListWindow::saveSettings()
{
    if (!settingsRead_)
        return;
    const QRect g = geometry();
    writeSetting(services_.settings, RecipeListGeometryKey,
                 QStringLiteral("%1,%2,%3,%4").arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height()));
    writeSetting(services_.settings, RecipeListSortKey,
                 SortNames[size_t(std::clamp(view_->horizontalHeader()->sortIndicatorSection(), 0, 2))]);
}

void RecipeListWindow::showEvent(QShowEvent* event)
{
    bindList();
    filterBox_->setFocus();
    QWidget::showEvent(event);
}

void RecipeListWindow::hideEvent(QHideEvent* event)
{
    saveSettings();
    QWidget::hideEvent(event);
}

void RecipeListWindow::filterChanged(const QString& text)
{
    selectFirst_ = true;
    if (RecipeList* list = model_->list())
        list->setFilter(text);
}

void RecipeListWindow::rowsRenewed()
{
    showCount();
    if (model_->rowCount() == 0)
        return;
    int row = 0;
    if (!selectFirst_) {
        // The recipe chosen stays chosen where the change moved it.
        row = chosenId_ ? model_->list()->shownRowOf(*chosenId_) : -1;
        if (row < 0)
            row = 0;
    }
    const QModelIndex index = model_->index(row, 0);
    view_->selectionModel()->setCurrentIndex(index,
                                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view_->scrollTo(index);
}

void RecipeListWindow::sortBy(int section)
{
    view_->horizontalHeader()->setSortIndicator(section, Qt::AscendingOrder);
    if (RecipeList* list = model_->list())
        list->sortBy(RecipeListModel::columnAt(section));
    saveSettings();
}

void RecipeListWindow::moveSelection(int by)
{
    const int rows = model_->rowCount();
    if (rows == 0)
        return;
    const QModelIndex current = view_->currentIndex();
    const int row = std::clamp(current.isValid() ? current.row() + by : 0, 0, rows - 1);
    const QModelIndex index = model_->index(row, 0);
    view_->selectionModel()->setCurrentIndex(index,
                                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view_->scrollTo(index);
    selectFirst_ = false;
}

void RecipeListWindow::choose()
{
    const QModelIndex current = view_->currentIndex();
    if (!current.isValid() || !model_->list() || current.row() >= model_->rowCount())
        return;
    emit recipeChosen(model_->list()->idAt(current.row()));
}

void RecipeListWindow::showCount()
{
    RecipeList* list = model_->list();
    QString text;
    if (!list)
        text = QStringLiteral("No recipe file is open.");
    else if (!list->error().isEmpty())
        text = list->error();
    else if (!list->isLoaded())
        text = QStringLiteral("Reading the recipes…");
    else {
        const QLocale numbers(QLocale::English, QLocale::UnitedStates);
        text = QStringLiteral("%1 of %2 %3")
                   .arg(numbers.toString(list->shownCount()), numbers.toString(list->total()),
                        list->total() == 1 ? QStringLiteral("recipe") : QStringLiteral("recipes"));
        if (list->isFiltering())
            text += QStringLiteral(", still searching…");
    }
    countLabel_->setText(text);
}

bool RecipeListWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const int page = std::max(
        1, view_->viewport()->height() / std::max(1, view_->verticalHeader()->defaultSectionSize()) - 1);
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        choose();
        return true;
    case Qt::Key_Escape:
        close();
        return true;
    case Qt::Key_Down:
    case Qt::Key_Up:
    case Qt::Key_PageDown:
    case Qt::Key_PageUp:
        if (watched != filterBox_ && key->modifiers() != Qt::NoModifier)
            break;
        moveSelection(key->key() == Qt::Key_Down       ? 1
                      : key->key() == Qt::Key_Up       ? -1
                      : key->key() == Qt::Key_PageDown ? page
                                                       : -page);
        return true;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace pantrio
