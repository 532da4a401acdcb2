#include "RecipeMenu.h"

#include <array>
#include <memory>
#include <QAction>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QWidget>

namespace pantrio {

namespace {

struct EntryLook
{
    RecipeMenu::Entry entry;
    const char* text;
    QKeySequence key;
    const char* objectName;
};

const std::array<EntryLook, 8>& entryLooks()
{
    static const std::array<EntryLook, 8> looks = {{
        {RecipeMenu::Entry::RecipeList, "Recipe &List\u2026", QKeySequence(Qt::CTRL | Qt::Key_L),
         "recipeListEntry"},
        {RecipeMenu::Entry::FindEveryField, "&Find in Every Field\u2026", QKeySequence(Qt::CTRL | Qt::Key_F),
         "findEveryFieldEntry"},
        {RecipeMenu::Entry::ImportRecipes, "&Import Recipes\u2026", QKeySequence(Qt::CTRL | Qt::Key_I),
         "importEntry"},
        {RecipeMenu::Entry::ExportRecipes, "&Export Recipes\u2026", QKeySequence(Qt::CTRL | Qt::Key_E),
         "exportEntry"},
        {RecipeMenu::Entry::UseSharedCollection, "Use a &Shared Collection\u2026", QKeySequence(),
         "useSharedCollectionEntry"},
        {RecipeMenu::Entry::UseLocalCollection, "Use the Collection on This &Computer", QKeySequence(),
         "useLocalCollectionEntry"},
        {RecipeMenu::Entry::RestoreBackup, "&Restore a Backup\u2026", QKeySequence(), "restoreBackupEntry"},
        {RecipeMenu::Entry::Keys, "&Keys", QKeySequence(Qt::Key_F1), "keysEntry"},
    }};
    return looks;
}

std::unique_ptr<QMenu> editMenuOf(QWidget* box)
{
    if (auto* line = qobject_cast<QLineEdit*>(box))
        return std::unique_ptr<QMenu>(line->createStandardContextMenu());
    if (auto* multi = qobject_cast<QPlainTextEdit*>(box))
        return std::unique_ptr<QMenu>(multi->createStandardContextMenu());
    return std::make_unique<QMenu>();
}

} // namespace

RecipeMenu::RecipeMenu(QWidget& window, std::function<void(Entry)> chosen) : QObject(&window), window_(window)
{
    for (const EntryLook& look : entryLooks()) {
        auto* action = new QAction(QString::fromUtf8(look.text), &window_);
        action->setObjectName(QLatin1String(look.objectName));
        action->setShortcut(look.key);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, [chosen, entry = look.entry] { chosen(entry); });
        window_.addAction(action); // its key works anywhere in the window
        entries_.append(action);
    }
    auto* keyboard = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), &window_);
    keyboard->setContext(Qt::WindowShortcut);
    connect(keyboard, &QShortcut::activated, this, &RecipeMenu::showForFocus);
}

bool RecipeMenu::isEntryKey(const QKeyEvent* key) const
{
    const QKeySequence pressed(key->keyCombination());
    if (pressed == QKeySequence(Qt::SHIFT | Qt::Key_F10))
        return true;
    for (const QAction* action : entries_)
        if (!action->shortcut().isEmpty() && action->shortcut() == pressed)
            return true;
    return false;
}

void RecipeMenu::addEntries(QMenu& menu) const
{
    menu.addActions(entries_);
}

void RecipeMenu::showForBox(QWidget* box, QContextMenuEvent* event)
{
    const auto menu = editMenuOf(box);
    menu->addSeparator();
    addEntries(*menu);
    menu->exec(event->globalPos());
}

void RecipeMenu::showAt(const QPoint& globalPos)
{
    QMenu menu(&window_);
    menu.setObjectName(QStringLiteral("recipeMenu"));
    addEntries(menu);
    menu.exec(globalPos);
}

void RecipeMenu::showForFocus()
{
    QWidget* focus = window_.focusWidget();
    if (auto* line = qobject_cast<QLineEdit*>(focus)) {
        const QPoint at = line->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
        QContextMenuEvent event(QContextMenuEvent::Keyboard, at, line->mapToGlobal(at));
        showForBox(line, &event);
    } else if (auto* multi = qobject_cast<QPlainTextEdit*>(focus)) {
        const QPoint at = multi->viewport()->mapToGlobal(multi->cursorRect().center());
        QContextMenuEvent event(QContextMenuEvent::Keyboard, multi->cursorRect().center(), at);
        showForBox(multi, &event);
    } else {
        showAt(window_.mapToGlobal(window_.rect().center()));
    }
}

} // namespace pantrio
