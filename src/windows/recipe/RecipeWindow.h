#pragma once

#include "RecipeLayout.h"

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
class DataControl;
class frmFind;
class frmAbout;
class frmCopyTxt;
class RecordCursor;
enum class MessageIcon;

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

    const RecipeLayout& layout() const { return layout_; }
    QLabel* label(int i) const { return labels_[size_t(i)]; }
    QWidget* textBox(int i) const { return boxes_[size_t(i)]; }
    QPushButton* button(Command command) const;
    DataControl* Data1() const { return data_; }
    frmFind* findDialog() const { return find_.get(); }
    frmAbout* aboutWindow() const;
    frmCopyTxt* printCopy() const { return copy_.get(); }

    // The click handlers, one per command.
    void cmdNew_Click();
    void cmdUpdate_Click();
    void cmdDelete_Click();
    void cmdRefresh_Click();
    void cmdFind_Click();
    void cmdFindNext_Click();
    void Print_Click();
    void cmdClose_Click();
    void cmdAbout_Click();

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void Form_Load();
    bool Form_Unload(); // false when closing must wait (an edit could not be saved)
    void Data1_Reposition();
    void Data1_Validate();

    RecordCursor* recordset() const;
    // Runs a command; a refusal of the recipe file is shown and the pointer is left normal.
    void run(const std::function<void()>& command);
    void reportFailure(const QString& message);
    void tell(const QString& text, MessageIcon icon);
    bool requireRecipe(const QString& nothingToDo);
    void search(const QString& text, bool fromCurrent, const QString& noMatchText, const QString& noMatchTitle);

    const RecipeLayout& layout_;
    Services& services_;
    QPixmap background_;
    std::array<QLabel*, 7> labels_{};
    std::array<QWidget*, 7> boxes_{};
    std::array<QPushButton*, 9> buttons_{};
    DataControl* data_ = nullptr;
    std::unique_ptr<frmFind> find_;
    std::unique_ptr<frmCopyTxt> copy_;
    QPointer<frmAbout> about_;
    bool unloaded_ = false;
};

} // namespace pantrio
