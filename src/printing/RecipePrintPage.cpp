#include "RecipePrintPage.h"

#include "ui/WindowUnits.h"

#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPicture>
#include <QPlainTextEdit>

#include <limits>

namespace pantrio {

namespace {

QRect twips(int left, int top, int width, int height)
{
    return Twips{left, top, width, height}.toPixels();
}

QLabel* label(QWidget* window, const char* name, const QString& caption, const QRect& geometry)
{
    auto* label = new QLabel(caption, window);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont bold = window->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

QLineEdit* oneLineBox(QWidget* window, const char* name, const QRect& geometry)
{
    auto* box = new QLineEdit(window);
    box->setMaxLength(std::numeric_limits<int>::max()); // the page shows what is stored, not a cut of it
    box->setObjectName(QLatin1String(name));
    box->setGeometry(geometry);
    return box;
}

QPlainTextEdit* multiLineBox(QWidget* window, const char* name, const QRect& geometry)
{
    auto* box = new QPlainTextEdit(window);
    box->setObjectName(QLatin1String(name));
    box->setGeometry(geometry);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    box->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return box;
}

// Runs before the controls are made, so that they inherit the page's font.
void prepare(QWidget* window)
{
    window->setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    window->setAttribute(Qt::WA_DontShowOnScreen);
    window->setFixedSize(twipsToPixels(QSize(10935, 7440)));
    // Liberation Serif has the metrics of Times New Roman, the font the layout was made for.
    window->setFont(printPageFont());
    // The system's window background is the colour behind text (white in most themes), which
    // Qt calls Base; its Window role is the grey of dialogs.
    window->setBackgroundRole(QPalette::Base);
    window->setAutoFillBackground(true);
    // A thin plain frame prints cleanly whatever the style draws on screen.
    window->setStyleSheet(QStringLiteral(
        "QLineEdit, QPlainTextEdit { border: 1px solid palette(text); background: palette(base); }"));
}

} // namespace

// Text boxes are made after their labels and so lie above them where they overlap.
RecipePrintPage::RecipePrintPage(QWidget* parent) : QWidget(parent)
{
    prepare(this);
    setObjectName(QStringLiteral("frmCopyTxt"));
    label(this, "Label1", QStringLiteral("Food Category"), twips(120, 120, 1815, 375));
    categoryBox_ = oneLineBox(this, "Text1", twips(1920, 120, 1455, 285));
    label(this, "Label2", QStringLiteral("Recipe Name"), twips(120, 600, 1695, 375));
    nameBox_ = oneLineBox(this, "Text2", twips(1920, 600, 4215, 375));
    label(this, "Label3", QStringLiteral("Ingredients"), twips(120, 1200, 1455, 375));
    ingredientsBox_ = multiLineBox(this, "Text3", twips(120, 1560, 3615, 5655));
    label(this, "Label4", QStringLiteral("Cooking Instruction's"), twips(3840, 1200, 2415, 375));
    instructionsBox_ = multiLineBox(this, "Text4", twips(3855, 1560, 6960, 3375));
    notesLabel_ = label(this, "Label5", QStringLiteral("Additional Notes"), twips(3840, 5160, 1935, 375));
    notesBox_ = multiLineBox(this, "Text5", twips(3855, 5400, 7080, 1815));
    notesLabel_->hide();
    notesBox_->hide();

    // Each box is named by its label, as on the recipe window.
    const std::pair<const char*, QWidget*> named[] = {{"Label1", categoryBox_},
                                                      {"Label2", nameBox_},
                                                      {"Label3", ingredientsBox_},
                                                      {"Label4", instructionsBox_},
                                                      {"Label5", notesBox_}};
    for (const auto& [labelName, box] : named) {
        auto* caption = findChild<QLabel*>(QLatin1String(labelName), Qt::FindDirectChildrenOnly);
        caption->setBuddy(box);
        box->setAccessibleName(caption->text());
    }
}

void RecipePrintPage::renderPage(QPainter& painter)
{
    // QWidget::render draws onto a printer through one bitmap of the whole window. Recorded
    // as a picture first, the controls reach the printer as lines and text instead, sharp at
    // any resolution.
    QPicture picture;
    QPainter recorder(&picture);
    render(&recorder);
    recorder.end();

    // Playing a picture scales it from the screen's dpi to the device's; the layout's unit is
    // 1/96 inch whatever the screen.
    painter.save();
    painter.scale(picture.logicalDpiX() / 96.0, picture.logicalDpiY() / 96.0);
    painter.drawPicture(0, 0, picture);
    painter.restore();
}

} // namespace pantrio
