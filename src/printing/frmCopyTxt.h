#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPainter;
class QPlainTextEdit;

namespace pantrio {

// The print-copy window: the page layout of a printed recipe. It is never shown; the print
// command fills its boxes and draws it onto the page.
class frmCopyTxt final : public QWidget
{
public:
    explicit frmCopyTxt(QWidget* parent = nullptr);

    QLabel* const Label1;
    QLineEdit* const Text1;
    QLabel* const Label2;
    QLineEdit* const Text2;
    QLabel* const Label3;
    QPlainTextEdit* const Text3;
    QLabel* const Label4;
    QPlainTextEdit* const Text4;
    QLabel* const Label5;
    QPlainTextEdit* const Text5;

    // Draws the client area with its visible controls from the painter's origin, at true size
    // (a logical pixel is 1/96 inch) and at the full resolution of the painter's device.
    void renderPage(QPainter& painter);
};

} // namespace pantrio
