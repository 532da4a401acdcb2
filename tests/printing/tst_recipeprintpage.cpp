// The print-copy window and the print command, drawn by a printer that paints into an image.

#include "support/PdfText.h"
#include "support/TestSupport.h"
#include "printing/PrintRecipe.h"
#include "printing/RecipePrintPage.h"

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>

using namespace pantrio;

namespace {

// Paints each page into an image at `dpi`, the size of the print-copy window at that resolution.
class ImagePrinter final : public Printer
{
public:
    PrintResult printPage(const QString& documentName, const DrawPage& draw) override
    {
        ++pages;
        lastName = documentName;
        const double scale = dpi / 96.0;
        page = QImage(qRound(729 * scale), qRound(496 * scale), QImage::Format_RGB32);
        page.setDotsPerMeterX(qRound(dpi / 0.0254));
        page.setDotsPerMeterY(qRound(dpi / 0.0254));
        page.fill(Qt::magenta); // anything the window leaves unpainted shows
        QPainter painter(&page);
        draw(painter);
        return result;
    }

    int dpi = 96;
    PrintResult result{PrintResult::Status::Printed, {}};
    int pages = 0;
    QString lastName;
    QImage page;
};

RecipeValues fullRecipe()
{
    return test::recipe(QStringLiteral("Soups"), QStringLiteral("Minestrone"), QStringLiteral("Freezes well."),
                        QStringLiteral("2 carrots\r\n1 onion\r\n1 can beans"),
                        QStringLiteral("Chop the vegetables and simmer them for forty minutes."));
}

// Every pixel of `area` in `image` has the colour `colour`.
bool allOf(const QImage& image, const QRect& area, const QColor& colour)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixelColor(x, y) != colour)
                return false;
    return true;
}

bool anyDarkIn(const QImage& image, const QRect& area)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixelColor(x, y).lightness() < 128)
                return true;
    return false;
}

} // namespace

class TestRecipePrintPage : public QObject
{
    Q_OBJECT

private slots:
    void controlsLieWhereTheLayoutSays_data();
    void controlsLieWhereTheLayoutSays();
    void windowIsAPageNeverShown();
    void notesPrintOnlyWhenThereAreNotes_data();
    void notesPrintOnlyWhenThereAreNotes();
    void fieldsWithoutValueGiveEmptyBoxes();
    void lineBreaksBreakLines();
    void oneLineBoxShowsTheBeginning();
    void oneLineBoxesKeepLongValues();
    void longIngredientsAreCutOffAtTheBox();
    void pageIsDrawnAtThePrinterResolution();
    void printerGetsLinesAndTextNotABitmap();
    void jobIsNamedAfterTheRecipe_data();
    void jobIsNamedAfterTheRecipe();
};

void TestRecipePrintPage::controlsLieWhereTheLayoutSays_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<bool>("hidden");

    const QString label = QStringLiteral("label"), line = QStringLiteral("line"), multi = QStringLiteral("multi");
    QTest::newRow("Label1") << label << "Food Category" << QRect(120, 120, 1815, 375) << false;
    QTest::newRow("Text1") << line << "" << QRect(1920, 120, 1455, 285) << false;
    QTest::newRow("Label2") << label << "Recipe Name" << QRect(120, 600, 1695, 375) << false;
    QTest::newRow("Text2") << line << "" << QRect(1920, 600, 4215, 375) << false;
    QTest::newRow("Label3") << label << "Ingredients" << QRect(120, 1200, 1455, 375) << false;
    QTest::newRow("Text3") << multi << "" << QRect(120, 1560, 3615, 5655) << false;
    QTest::newRow("Label4") << label << "Cooking Instruction's" << QRect(3840, 1200, 2415, 375) << false;
    QTest::newRow("Text4") << multi << "" << QRect(3855, 1560, 6960, 3375) << false;
    QTest::newRow("Label5") << label << "Additional Notes" << QRect(3840, 5160, 1935, 375) << true;
    QTest::newRow("Text5") << multi << "" << QRect(3855, 5400, 7080, 1815) << true;
}

void TestRecipePrintPage::controlsLieWhereTheLayoutSays()
{
    QFETCH(QString, kind);
    QFETCH(QString, caption);
    QFETCH(QRect, twips);
    QFETCH(bool, hidden);

    RecipePrintPage copy;
    auto* control = copy.findChild<QWidget*>(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(control);
    QCOMPARE(control->parentWidget(), &copy);
    QCOMPARE(control->geometry(),
             QRect(twips.left() / 15, twips.top() / 15, twips.width() / 15, twips.height() / 15));
    QCOMPARE(control->isHidden(), hidden);
    QCOMPARE(control->font().family(), QStringLiteral("Liberation Serif"));
    QCOMPARE(control->font().pixelSize(), 15); // 11.25 pt at 96 pixels to the inch

    if (kind == QLatin1String("label")) {
        auto* label = qobject_cast<QLabel*>(control);
        QVERIFY(label);
        QCOMPARE(label->text(), caption);
        QVERIFY(label->font().bold());
        QVERIFY(!label->autoFillBackground());
        QCOMPARE(label->alignment(), Qt::AlignLeft | Qt::AlignTop);
        // A screen reader names the box by this label.
        QVERIFY(qobject_cast<QPlainTextEdit*>(label->buddy()) || qobject_cast<QLineEdit*>(label->buddy()));
        QCOMPARE(label->buddy()->accessibleName(), caption);
    } else if (kind == QLatin1String("line")) {
        QVERIFY(qobject_cast<QLineEdit*>(control));
        QVERIFY(!control->font().bold());
    } else {
        auto* box = qobject_cast<QPlainTextEdit*>(control);
        QVERIFY(box);
        QVERIFY(!box->font().bold());
        QCOMPARE(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(box->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(box->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    }
}

void TestRecipePrintPage::windowIsAPageNeverShown()
{
    RecipePrintPage copy;
    QCOMPARE(copy.size(), QSize(729, 496)); // 10935 by 7440 twips
    QVERIFY(copy.windowFlags() & Qt::FramelessWindowHint);

    ImagePrinter printer;
    printRecipe(copy, fullRecipe(), printer);
    QVERIFY(!copy.isVisible());
    // The corners lie outside every control: there the window's own background shows.
    const QColor background = copy.palette().color(QPalette::Base);
    QCOMPARE(printer.page.pixelColor(0, 0), background);
    QCOMPARE(printer.page.pixelColor(728, 495), background);
    QCOMPARE(printer.page.pixelColor(728, 0), background);
}

void TestRecipePrintPage::notesPrintOnlyWhenThereAreNotes_data()
{
    QTest::addColumn<FieldValue>("notes");
    QTest::addColumn<bool>("shown");

    QTest::newRow("notes") << FieldValue(QStringLiteral("Serve warm.")) << true;
    QTest::newRow("only spaces") << FieldValue(QStringLiteral("  ")) << true;
    QTest::newRow("empty") << FieldValue(QString()) << false;
    QTest::newRow("empty string") << FieldValue(QStringLiteral("")) << false;
    QTest::newRow("no value") << FieldValue() << false;
}

void TestRecipePrintPage::notesPrintOnlyWhenThereAreNotes()
{
    QFETCH(FieldValue, notes);
    QFETCH(bool, shown);

    RecipePrintPage copy;
    ImagePrinter printer;
    // A recipe with notes first, so that hiding them again is tested too.
    printRecipe(copy, fullRecipe(), printer);
    QVERIFY(!copy.notesLabel()->isHidden());

    RecipeValues recipe = fullRecipe();
    recipe[Field::Notes] = notes;
    printRecipe(copy, recipe, printer);
    QCOMPARE(!copy.notesLabel()->isHidden(), shown);
    QCOMPARE(!copy.notesBox()->isHidden(), shown);
    if (shown)
        QCOMPARE(copy.notesBox()->toPlainText(), *notes);

    // On the page: the label's and the box's area under the instructions is empty without notes.
    const QRect notesArea = copy.notesLabel()->geometry().united(copy.notesBox()->geometry());
    const QColor background = copy.palette().color(QPalette::Base);
    QCOMPARE(allOf(printer.page, notesArea, background), !shown);
    QCOMPARE(anyDarkIn(printer.page, copy.notesLabel()->geometry().adjusted(0, 0, 0, -10)), shown);
}

void TestRecipePrintPage::fieldsWithoutValueGiveEmptyBoxes()
{
    RecipePrintPage copy;
    ImagePrinter printer;
    printRecipe(copy, fullRecipe(), printer);
    QCOMPARE(copy.nameBox()->text(), QStringLiteral("Minestrone"));

    printRecipe(copy, RecipeValues{}, printer);
    QCOMPARE(printer.pages, 2);
    QCOMPARE(copy.categoryBox()->text(), QString());
    QCOMPARE(copy.nameBox()->text(), QString());
    QCOMPARE(copy.ingredientsBox()->toPlainText(), QString());
    QCOMPARE(copy.instructionsBox()->toPlainText(), QString());
    QVERIFY(copy.notesBox()->isHidden());

    // The boxes still print, empty: a frame and nothing inside.
    const QColor background = copy.palette().color(QPalette::Base);
    const QRect inside = copy.ingredientsBox()->geometry().adjusted(1, 1, -1, -1);
    QVERIFY(allOf(printer.page, inside, background));
    QVERIFY(anyDarkIn(printer.page, QRect(copy.ingredientsBox()->x(), copy.ingredientsBox()->y() + 10, 1, 10)));
}

void TestRecipePrintPage::lineBreaksBreakLines()
{
    RecipePrintPage copy;
    ImagePrinter printer;
    RecipeValues recipe = fullRecipe();
    recipe[Field::Ingredients] = QStringLiteral("flour\r\nsugar\rbutter\neggs");
    recipe[Field::Instructions] = QStringLiteral("Mix.\r\n\r\nBake.");
    recipe[Field::Notes] = QStringLiteral("Keeps\r\nfor days.");
    printRecipe(copy, recipe, printer);

    QCOMPARE(copy.ingredientsBox()->document()->blockCount(), 4);
    QCOMPARE(copy.ingredientsBox()->toPlainText(), QStringLiteral("flour\nsugar\nbutter\neggs"));
    QCOMPARE(copy.instructionsBox()->document()->blockCount(), 3);
    QCOMPARE(copy.notesBox()->document()->blockCount(), 2);
}

void TestRecipePrintPage::oneLineBoxShowsTheBeginning()
{
    // The same beginning, once short and once far wider than the box: the box's left part
    // must look the same, which it does not when the box scrolls to the end of its text.
    const QString beginning = QStringLiteral("Grandmother's");
    RecipePrintPage copy;
    ImagePrinter printer;
    RecipeValues recipe = fullRecipe();
    recipe[Field::RecipeName] = beginning;
    printRecipe(copy, recipe, printer);
    const QImage shortName = printer.page;

    recipe[Field::RecipeName] = beginning + QStringLiteral(" apple pie with cinnamon, raisins, walnuts and a lattice crust");
    printRecipe(copy, recipe, printer);
    const QImage longName = printer.page;
    QCOMPARE(copy.nameBox()->cursorPosition(), 0);

    const QRect box = copy.nameBox()->geometry();
    const QRect left(box.left(), box.top(), box.width() / 3, box.height());
    QVERIFY(anyDarkIn(shortName, left.adjusted(2, 2, -2, -2))); // the beginning is drawn there
    QCOMPARE(longName.copy(left), shortName.copy(left));
    // ...and the long name runs on to the box's right edge, and no further.
    QVERIFY(anyDarkIn(longName, QRect(box.right() - 12, box.top() + 2, 8, box.height() - 4)));
    const QColor background = copy.palette().color(QPalette::Base);
    QVERIFY(allOf(longName, QRect(box.right() + 1, box.top(), copy.width() - box.right() - 1, box.height()),
                  background));
}

void TestRecipePrintPage::oneLineBoxesKeepLongValues()
{
    RecipePrintPage copy;
    ImagePrinter printer;
    RecipeValues recipe = fullRecipe();
    recipe[Field::FoodCategoryID] = QString(40000, QLatin1Char('c'));
    recipe[Field::RecipeName] = QString(50000, QLatin1Char('n'));
    printRecipe(copy, recipe, printer);
    QCOMPARE(copy.categoryBox()->text(), *recipe[Field::FoodCategoryID]);
    QCOMPARE(copy.nameBox()->text(), *recipe[Field::RecipeName]);
}

void TestRecipePrintPage::longIngredientsAreCutOffAtTheBox()
{
    RecipePrintPage copy;
    ImagePrinter printer;
    RecipeValues recipe = fullRecipe();
    QStringList lines;
    for (int i = 1; i <= 60; ++i)
        lines << QStringLiteral("%1 cups of something rather long to wrap at word boundaries").arg(i);
    recipe[Field::Ingredients] = lines.join(QLatin1Char('\n'));
    printRecipe(copy, recipe, printer);

    const QRect box = copy.ingredientsBox()->geometry();
    const QColor background = copy.palette().color(QPalette::Base);
    // The text reaches the bottom of the box...
    QVERIFY(anyDarkIn(printer.page, QRect(box.left() + 2, box.bottom() - 20, box.width() - 4, 18)));
    // ...and nothing of it lies below.
    QVERIFY(allOf(printer.page, QRect(box.left(), box.bottom() + 1, box.width(), copy.height() - box.bottom() - 1),
                  background));
    // No scroll bar: the strip just inside the right edge stays clear, since wrapped text keeps
    // the document margin.
    QVERIFY(allOf(printer.page, QRect(box.right() - 3, box.top() + 1, 3, box.height() - 2), background));
}

void TestRecipePrintPage::pageIsDrawnAtThePrinterResolution()
{
    RecipePrintPage copy;
    ImagePrinter printer;
    printer.dpi = 288; // three device dots to the logical pixel
    printRecipe(copy, fullRecipe(), printer);

    // The ingredients box's left frame line: at logical x 8, so device x 24 to 26.
    const QRect box = copy.ingredientsBox()->geometry();
    const QColor background = copy.palette().color(QPalette::Base);
    const int top = box.top() * 3 + 30, height = box.height() * 3 - 60;
    QVERIFY(anyDarkIn(printer.page, QRect(24, top, 3, height)));
    QVERIFY(allOf(printer.page, QRect(0, top, 23, height), background));
    QVERIFY(allOf(printer.page, QRect(28, top, 8, height), background));
    // The window fills the whole page image, to its bottom-right corner.
    QCOMPARE(printer.page.pixelColor(printer.page.width() - 1, printer.page.height() - 1), background);
}

void TestRecipePrintPage::printerGetsLinesAndTextNotABitmap()
{
    // QWidget::render turns a window into one bitmap when the painter is a printer's.
    if (!test::canReadPdf())
        QSKIP("pdftotext (poppler-utils) is not installed");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("page.pdf"));
    RecipePrintPage copy;
    ImagePrinter fill; // only to fill the boxes
    printRecipe(copy, fullRecipe(), fill);

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    QPainter painter(&printer);
    copy.renderPage(painter);
    painter.end();

    const QList<test::PdfPage> pages = test::readPdf(path);
    QCOMPARE(pages.size(), 1);
    const QPointF origin = printer.pageLayout().paintRectPoints().topLeft();
    const QString problem = test::misplaced(pages[0], QStringLiteral("carrots"), test::onPage(copy.ingredientsBox()->geometry(), origin));
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void TestRecipePrintPage::jobIsNamedAfterTheRecipe_data()
{
    QTest::addColumn<FieldValue>("name");
    QTest::addColumn<QString>("job");

    QTest::newRow("name") << FieldValue(QStringLiteral("Minestrone")) << QStringLiteral("Minestrone");
    QTest::newRow("spaces around") << FieldValue(QStringLiteral(" Pesto ")) << QStringLiteral("Pesto");
    QTest::newRow("empty") << FieldValue(QString()) << QStringLiteral("Recipe");
    QTest::newRow("no value") << FieldValue() << QStringLiteral("Recipe");
}

void TestRecipePrintPage::jobIsNamedAfterTheRecipe()
{
    QFETCH(FieldValue, name);
    QFETCH(QString, job);

    RecipePrintPage copy;
    ImagePrinter printer;
    printer.result = {PrintResult::Status::Failed, QStringLiteral("Out of paper")};
    RecipeValues recipe = fullRecipe();
    recipe[Field::RecipeName] = name;
    const PrintResult result = printRecipe(copy, recipe, printer);
    QCOMPARE(printer.lastName, job);
    QCOMPARE(result.status, PrintResult::Status::Failed);
    QCOMPARE(result.detail, QStringLiteral("Out of paper"));
}

QTEST_MAIN(TestRecipePrintPage)
#include "tst_recipeprintpage.moc"
