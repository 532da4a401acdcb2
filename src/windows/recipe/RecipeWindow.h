#pragma once

#include "RecipeLayout.h"
#include "RecordBar.h"

#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QLabel;
class QPushButton;

namespace pantrio {

struct Services;
class FieldBinder;
class RecipeBrowser;
class FindDialog;
class AboutWindow;
class RecipePrintPage;
class StoreError;
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

private:
    void buildControls();
    void load();
    bool openCollection(const QString& path);
    bool offerConversion(const QString& path);
    bool takeFileDrop(QEvent* event); // true when the event was files, handled here
    void importDropped(const QStringList& files);
    bool unload(); // false when closing must wait (an edit could not be saved)
    void showPosition();
    void markBusy();

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
    void followArrow(RecordBar::Arrow arrow);

    QPushButton* button(Command command) const;
    // What a command does to the current recipe's edit before it goes on.
    enum class Attempt {
        Save,  // saves it and stays
        Move,  // saves it and moves (or acts on the file)
        Close, // saves it and ends the program
    };
    // Runs a command; a refusal of the recipe file is shown and the pointer is left normal.
    // When an edit could not be saved the user chooses a way on, and the command is tried
    // again. False when the command did not complete.
    bool run(const std::function<void()>& command, Attempt attempt = Attempt::Move);
    bool offerWayOn(const StoreError& error, Attempt attempt); // true: try the command again
    bool ask(const QString& question);
    void reportFailure(const QString& message);
    void tell(const QString& text, MessageIcon icon);
    bool requireRecipe(const QString& nothingToDo);
    void startSearch(FindScope scope); // asks for the text, then searches
    FindDialog& findDialog(FindScope scope);
    void search(FindScope scope, const QString& text, bool fromCurrent, const QString& noMatchText,
                const QString& noMatchTitle);

    const RecipeLayout& layout_;
    Services& services_;
    QPixmap background_;
    RecipeBrowser* browser_ = nullptr;
    FieldBinder* binder_ = nullptr;
    RecordBar* recordBar_ = nullptr;
    std::array<QWidget*, 7> boxes_{};
    std::array<QPushButton*, 9> buttons_{};
    std::unique_ptr<FindDialog> findDialog_;
    FindScope lastSearch_; // the search Find Next continues
    std::unique_ptr<RecipePrintPage> printPage_;
    QPointer<AboutWindow> aboutWindow_;
    bool unloaded_ = false;
    bool backupFailureTold_ = false;
    bool backgroundWorkDue_ = false; // started after the next paint
};

} // namespace pantrio
