#pragma once

#include "store/OpenMode.h"
#include "store/RecipeFields.h"

#include <QString>
#include <QWidget>

#include <memory>
#include <vector>

class QLabel;
class QToolButton;

namespace pantrio {

class RecordCursor;

// The record bar: first/previous/next/last arrows around a caption, the record cursor on the
// recipe table behind it, and the text boxes bound to the cursor's fields. The boxes always
// show the current record; a box the user edited is handed to the cursor when it validates.
class DataControl : public QWidget
{
    Q_OBJECT
public:
    explicit DataControl(OpenMode mode, QWidget* parent = nullptr);
    ~DataControl() override;

    void setDatabaseName(const QString& path) { databaseName_ = path; }
    const QString& databaseName() const { return databaseName_; }
    void setCaption(const QString& caption);
    QString caption() const;

    // Binds a QLineEdit or QPlainTextEdit to a field.
    void bind(QWidget* box, Field field);

    // Opens the cursor on the first record. A failure leaves the control without a cursor,
    // with the reason in openError(). True when open.
    bool open();
    // Re-opens on the first record; opens the file if it was not open yet. Throws StoreError.
    void refresh();
    // Writes the edited boxes into the current or new record and saves it. Throws StoreError.
    void updateRecord();
    // Saves a pending edit and closes the cursor. Throws StoreError if the save fails.
    void close();

    RecordCursor* recordset() const { return cursor_.get(); }
    // Why the file could not be opened, empty when it could.
    const QString& openError() const { return openError_; }

    QToolButton* arrow(int i) const { return arrows_[size_t(i)]; } // first, previous, next, last

signals:
    void validate();
    void reposition();
    // An arrow's move failed (a save refused, say); nothing moved.
    void failed(const QString& message);

private:
    void showCurrent();
    void stageEdits();
    void arrowClicked(int which);

    OpenMode mode_;
    QString databaseName_;
    QString openError_;
    std::unique_ptr<RecordCursor> cursor_;
    std::vector<std::pair<QWidget*, Field>> bound_;
    std::array<QToolButton*, 4> arrows_{};
    QLabel* caption_ = nullptr;
};

} // namespace pantrio
