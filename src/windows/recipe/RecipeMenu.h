#pragma once

#include <functional>
#include <QObject>

class QAction;
class QContextMenuEvent;
class QKeyEvent;
class QMenu;
class QWidget;

namespace pantrio {

// The recipe window's menu: what has no button of its own. A right-click on the window opens
// it, and in a text box the box's edit menu gains its entries; the Menu key and Shift+F10 open
// it from the keyboard, and each entry has a key that works anywhere in the window.
class RecipeMenu : public QObject
{
    Q_OBJECT
public:
    enum class Entry {
        RecipeList,
        FindEveryField,
        ImportRecipes,
        ExportRecipes,
        UseSharedCollection,
        UseLocalCollection,
        RestoreBackup,
        Keys
    };

    RecipeMenu(QWidget& window, std::function<void(Entry)> chosen);

    // A key of an entry, which the text boxes must leave to the window.
    bool isEntryKey(const QKeyEvent* key) const;
    // For a context-menu event on `box`, a text box of the window: its edit menu with the entries.
    void showForBox(QWidget* box, QContextMenuEvent* event);
    // The entries alone, at `globalPos`.
    void showAt(const QPoint& globalPos);
    // From the keyboard (Shift+F10): at the text cursor of the box with the focus, else mid-window.
    void showForFocus();

private:
    void addEntries(QMenu& menu) const;

    QWidget& window_;
    QList<QAction*> entries_;
};

} // namespace pantrio
