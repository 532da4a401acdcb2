#pragma once

#include <cstdint>
#include <optional>
#include <QPointer>
#include <QWidget>

class QLabel;
class QLineEdit;
class QTableView;

namespace pantrio {

struct Services;
class RecipeList;
class RecipeSession;
class RecipeListModel;

// Every recipe of the open collection, by name, category and preparation time: a filter box
// over a list. Typing filters at once, over every field; Up and Down move through the list
// from the box, Enter or a double-click chooses the selected recipe, Escape closes the window.
// The list follows the session's changes; its place on the screen and its sort column are
// remembered.
class RecipeListWindow : public QWidget
{
    Q_OBJECT
public:
    RecipeListWindow(RecipeSession& session, Services& services, QWidget* parent = nullptr);
    ~RecipeListWindow() override;

    // The rows shown, in their order; null when no file is open.
    RecipeList* list() const;

signals:
    // The user chose the recipe; the recipe window is to show it.
    void recipeChosen(qint64 id);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void bindList();
    void restoreSettings();
    void saveSettings();
    void filterChanged(const QString& text);
    void rowsRenewed();
    void sortBy(int section);
    void moveSelection(int by);
    void choose();
    void showCount();

    QPointer<RecipeSession> session_;
    Services& services_;
    QLineEdit* filterBox_ = nullptr;
    QTableView* view_ = nullptr;
    QLabel* countLabel_ = nullptr;
    RecipeListModel* model_ = nullptr;
    bool selectFirst_ = true; // until the user moves, the first match stays selected
    bool settingsRead_ = false;
    std::optional<std::int64_t> chosenId_; // the selected recipe, kept across changes
};

} // namespace pantrio
