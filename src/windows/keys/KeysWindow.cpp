#include "KeysWindow.h"

#include <array>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>
#include <utility>

namespace pantrio {

namespace {

constexpr std::array<std::pair<const char*, const char*>, 17> Keys = {{
    {"Ctrl+Page Down", "Next recipe"},
    {"Ctrl+Page Up", "Previous recipe"},
    {"Ctrl+Home", "First recipe"},
    {"Ctrl+End", "Last recipe"},
    {"Alt + underlined letter", "Press that button (Alt+A Add New, Alt+F Find...)"},
    {"Enter", "Press the button that has the focus; in the full window, Find Recipe"},
    {"Ctrl+Enter", "A new line in Ingredients, Instructions or Notes"},
    {"Tab, Shift+Tab", "Next or previous box or button"},
    {"Ctrl+L", "Recipe List: every recipe, filtered as you type"},
    {"Ctrl+F", "Find in Every Field: a text in any field, ignoring accents and letter case"},
    {"Ctrl+I", "Import Recipes from files or a web page"},
    {"Ctrl+E", "Export Recipes to a file or a cookbook"},
    {"F1", "This list of keys"},
    {"Menu key, Shift+F10", "The menu (or right-click)"},
    {"Up, Down (Recipe List)", "Choose a recipe while typing in the filter"},
    {"Enter (Recipe List)", "Show the chosen recipe"},
    {"Escape", "Close the Recipe List, a dialog or this list"},
}};

} // namespace

KeysWindow::KeysWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("keysWindow"));
    setWindowTitle(QStringLiteral("Keys"));
    auto* table = new QTableWidget(int(Keys.size()), 2, this);
    table->setObjectName(QStringLiteral("keyList"));
    table->setAccessibleName(QStringLiteral("Keys"));
    table->setHorizontalHeaderLabels({QStringLiteral("Key"), QStringLiteral("What it does")});
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    for (int row = 0; row < int(Keys.size()); ++row) {
        table->setItem(row, 0, new QTableWidgetItem(QString::fromUtf8(Keys[size_t(row)].first)));
        table->setItem(row, 1, new QTableWidgetItem(QString::fromUtf8(Keys[size_t(row)].second)));
    }
    table->resizeColumnsToContents();
    table->horizontalHeader()->setStretchLastSection(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table);
    layout->addWidget(buttons);
    resize(560, 480);
}

} // namespace pantrio
