#pragma once

#include "RecipeLayout.h"
#include "RecordBar.h"

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

class QLabel;
class QPushButton;

namespace pantrio {

struct Services;
class CommandRunner;
class FileCommands;
class SharedCollectionCommands;
class FieldBinder;
class RecipeSession;
class FindDialog;
class AboutWindow;
class KeysWindow;
class RecipeListWindow;
class RecipeMenu;
class RecipePrintPage;
enum class MessageIcon;
enum class FindScope;

// The recipe window. One class serves both layouts: the layout only places the controls,
// and every handler below is the behaviour of both.
class RecipeWindow : public QWidget
{
    Q_OBJECT
public:
    RecipeWindow(const RecipeLayout& layout, Services& services, QWidget* parent = nullptr);
    ~RecipeWindow() override;

    // Runs the load behaviour, then opens the recipe file on its first recipe.
    void open();

    // Goes to the next recipe after the current one (wrapping to the first) whose field
    // matches the pattern. True when the window then stands on a match.
    bool FindField(const QString& pattern, const QString& fieldName);

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void buildControls();
    void buildBoxes(std::map<int, QWidget*>& tabOrder);
    void buildButtons(std::map<int, QWidget*>& tabOrder);
    void load();
    bool openCollection(const QString& path);
    bool offerConversion(const QString& path);
    bool unload(); // false when closing must wait (an edit could not be saved)
    void showPosition();
    void tellBackupFailed(const QString& message);

    // The commands, one per button.
    void addNew();
    void save();
    void deleteRecipe();
    void refresh();
    void findRecipe();
    void findEveryField(); // Ctrl+F; no button
    void findNext();
    void print();
    void closeWindow();
    void showAbout();
    // The menu's entries.
    void showKeys();
    void showRecipeList();
    void showChosen(qint64 id);
    void followArrow(RecordBar::Arrow arrow);

    QPushButton* button(Command command) const;
    bool requireRecipe(const QString& nothingToDo);
    void startSearch(FindScope scope); // asks for the text, then searches
    FindDialog& findDialog(FindScope scope);
    void search(const QString& text, bool fromCurrent, const QString& noMatchText,
                const QString& noMatchTitle);

    const RecipeLayout& layout_;
    Services& services_;
    QPixmap background_;
    RecipeSession* session_ = nullptr;
    FieldBinder* binder_ = nullptr;
    std::unique_ptr<CommandRunner> runner_;
    FileCommands* files_ = nullptr;
    std::unique_ptr<SharedCollectionCommands> shared_;
    RecordBar* recordBar_ = nullptr;
    std::array<QWidget*, 7> boxes_{};
    std::array<QPushButton*, 9> buttons_{};
    std::unique_ptr<FindDialog> findDialog_;
    std::unique_ptr<RecipePrintPage> printPage_;
    QPointer<AboutWindow> aboutWindow_;
    RecipeMenu* menu_ = nullptr;
    QPointer<KeysWindow> keysWindow_;
    QPointer<RecipeListWindow> listWindow_;
    bool unloaded_ = false;
    bool backupFailureTold_ = false;
    bool backgroundWorkDue_ = false; // started after the next paint
};

} // namespace pantrio
