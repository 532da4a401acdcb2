#pragma once

#include "exchange/RecipeExport.h"

#include <QDialog>
#include <QPointer>
#include <QString>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace pantrio {

struct Services;
class RecipeList;
enum class MessageIcon;

// What to export and where: a format (MealMaster, JSON-LD or a printable HTML cookbook),
// every recipe or exactly the rows the recipe list shows, in its order, and the file, whose
// extension follows the format. The export itself is the caller's.
class ExportDialog : public QDialog
{
    Q_OBJECT
public:
    // `total` recipes in the collection; `list` the rows the recipe list window shows, null
    // when that window is not open.
    ExportDialog(Services& services, int total, RecipeList* list, QWidget* parent = nullptr);
    ~ExportDialog() override;

    struct Choice
    {
        QString file;
        exchange::ExportChoice what;
    };
    // Once accepted: the list's rows as they were when Export was pressed.
    const Choice& choice() const { return choice_; }

private:
    void buildControls(int total);
    exchange::ExportFormat format() const;
    void formatChanged();
    void listChanged();
    void browse();
    void tryExport();
    QString targetFile() const;
    bool targetUsable(const QString& file);
    void tell(const QString& text, MessageIcon icon);

    Services& services_;
    int total_;
    QPointer<RecipeList> list_;
    QComboBox* formatBox_ = nullptr;
    QRadioButton* everyOption_ = nullptr;
    QRadioButton* listedOption_ = nullptr;
    QLineEdit* fileBox_ = nullptr;
    QPushButton* browseButton_ = nullptr;
    QPushButton* exportButton_ = nullptr;
    QString confirmed_; // a file the file chooser has asked about replacing already
    Choice choice_;
};

} // namespace pantrio
