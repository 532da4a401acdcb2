#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPainter;
class QPlainTextEdit;

namespace pantrio {

// The page layout of a printed recipe. It is never shown; the print command fills its boxes
// and draws it onto the page.
class RecipePrintPage final : public QWidget
{
public:
    explicit RecipePrintPage(QWidget* parent = nullptr);

    QLineEdit* categoryBox() const { return categoryBox_; }
    QLineEdit* nameBox() const { return nameBox_; }
    QPlainTextEdit* ingredientsBox() const { return ingredientsBox_; }
    QPlainTextEdit* instructionsBox() const { return instructionsBox_; }
    // The notes and their label show only when there are notes.
    QLabel* notesLabel() const { return notesLabel_; }
    QPlainTextEdit* notesBox() const { return notesBox_; }

    // Draws the client area with its visible controls from the painter's origin, at true size
    // (a logical pixel is 1/96 inch) and at the full resolution of the painter's device.
    void renderPage(QPainter& painter);

private:
    QLineEdit* categoryBox_ = nullptr;
    QLineEdit* nameBox_ = nullptr;
    QPlainTextEdit* ingredientsBox_ = nullptr;
    QPlainTextEdit* instructionsBox_ = nullptr;
    QLabel* notesLabel_ = nullptr;
    QPlainTextEdit* notesBox_ = nullptr;
};

} // namespace pantrio
