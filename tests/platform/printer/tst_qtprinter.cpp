// QtPrinter without a printer: the PDF offer, the save dialog, and the PDF file it writes.

#include "support/PdfText.h"
#include "support/TestSupport.h"
#include "printing/PrintRecipe.h"
#include "printing/RecipePrintPage.h"

#include <QFile>
#include <QLabel>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

using namespace pantrio;
using Status = PrintResult::Status;

class TestQtPrinter : public QObject
{
    Q_OBJECT

private slots:
    void withoutPrinterOffersPdf_data();
    void withoutPrinterOffersPdf();
    void savedPdfIsTheRecipePage();

private:
    QTemporaryDir dir_;
};

void TestQtPrinter::withoutPrinterOffersPdf_data()
{
    QTest::addColumn<MessageAnswer>("offerAnswer");
    QTest::addColumn<QString>("chosenFile"); // relative to the test folder; empty: dialog cancelled
    QTest::addColumn<Status>("status");
    QTest::addColumn<bool>("dialogAsked");
    QTest::addColumn<bool>("written");

    QTest::newRow("offer declined") << MessageAnswer::Cancel << "declined.pdf" << Status::NoPrinter << false << false;
    QTest::newRow("dialog cancelled") << MessageAnswer::Ok << "" << Status::Cancelled << true << false;
    QTest::newRow("saved") << MessageAnswer::Ok << "saved.pdf" << Status::SavedAsPdf << true << true;
    QTest::newRow("folder missing") << MessageAnswer::Ok << "missing/page.pdf" << Status::Failed << true << false;
}

void TestQtPrinter::withoutPrinterOffersPdf()
{
    QFETCH(MessageAnswer, offerAnswer);
    QFETCH(QString, chosenFile);
    QFETCH(Status, status);
    QFETCH(bool, dialogAsked);
    QFETCH(bool, written);

    const QString path = chosenFile.isEmpty() ? QString() : dir_.filePath(chosenFile);
    test::FakeMessageBoxes messages;
    messages.answers = {offerAnswer};
    QString suggested;
    bool asked = false;
    QtPrinter printer(
        messages,
        [&](const QString& suggestion) {
            asked = true;
            suggested = suggestion;
            return path;
        },
        [] { return QPrinterInfo(); }, [] { return NoPrinterCause::NoneSetUp; });

    int draws = 0;
    const PrintResult result = printer.printPage(QStringLiteral("Apple Pie"), [&](QPainter& painter) {
        ++draws;
        painter.drawText(QPointF(100, 100), QStringLiteral("page"));
    });

    QCOMPARE(result.status, status);
    QCOMPARE(asked, dialogAsked);
    if (asked)
        QVERIFY2(suggested.endsWith(QStringLiteral("/Apple Pie.pdf")), qPrintable(suggested));
    QCOMPARE(draws, written ? 1 : 0);
    QCOMPARE(QFile::exists(path), written);
    if (written)
        QCOMPARE(result.detail, path);

    QVERIFY(!messages.shown.isEmpty());
    const test::ShownMessage& offer = messages.shown.first();
    QCOMPARE(offer.text, printer_text::noPrinter());
    QCOMPARE(offer.title, printer_text::noPrinterTitle());
    QCOMPARE(offer.buttons, MessageButtons::OkCancel);

    if (status == Status::Failed) {
        // The system's own words for why the file could not be made, in a message of their own.
        QCOMPARE(messages.shown.size(), 2);
        QVERIFY(!result.detail.isEmpty());
        QCOMPARE(messages.shown[1].title, printer_text::failedTitle());
        QCOMPARE(messages.shown[1].text, printer_text::pdfFailed(path, result.detail));
        QVERIFY(messages.shown[1].text.contains(result.detail));
    } else {
        QCOMPARE(messages.shown.size(), 1);
    }
}

void TestQtPrinter::savedPdfIsTheRecipePage()
{
    if (!test::canReadPdf())
        QSKIP("pdftotext (poppler-utils) is not installed");

    const QString path = dir_.filePath(QStringLiteral("recipe.pdf"));
    test::FakeMessageBoxes messages;
    QtPrinter printer(messages, [&](const QString&) { return path; }, [] { return QPrinterInfo(); },
                      [] { return NoPrinterCause::NoneSetUp; });
    RecipePrintPage copy;
    const RecipeValues recipe = test::recipe(QStringLiteral("Soups"), QStringLiteral("Minestrone"),
                                             QStringLiteral("Freezes well."), QStringLiteral("2 carrots"),
                                             QStringLiteral("Simmer slowly."));
    QCOMPARE(printRecipe(copy, recipe, printer).status, Status::SavedAsPdf);

    const QList<test::PdfPage> pages = test::readPdf(path);
    QCOMPARE(pages.size(), 1);
    const test::PdfPage& page = pages.first();
    const bool a4 = qAbs(page.size.width() - 595.3) < 1 && qAbs(page.size.height() - 841.9) < 1;
    const bool letter = qAbs(page.size.width() - 612) < 1 && qAbs(page.size.height() - 792) < 1;
    QVERIFY2(a4 || letter, qPrintable(QStringLiteral("%1 by %2 pt").arg(page.size.width()).arg(page.size.height())));

    const QPointF margin(18, 18); // a quarter inch
    const struct
    {
        const char* word;
        QWidget* control;
    } expected[] = {{"Food", copy.findChild<QLabel*>(QStringLiteral("Label1"))},
                    {"Soups", copy.categoryBox()},
                    {"Minestrone", copy.nameBox()},
                    {"carrots", copy.ingredientsBox()},
                    {"Simmer", copy.instructionsBox()},
                    {"Additional", copy.notesLabel()},
                    {"Freezes", copy.notesBox()},
                    {"Cooking", copy.findChild<QLabel*>(QStringLiteral("Label4"))}};
    for (const auto& e : expected) {
        const QString problem =
            test::misplaced(page, QString::fromLatin1(e.word), test::onPage(e.control->geometry(), margin));
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }
}

QTEST_MAIN(TestQtPrinter)
#include "tst_qtprinter.moc"
