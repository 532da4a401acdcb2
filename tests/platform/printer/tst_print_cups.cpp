// Printing recipes on a real CUPS queue that writes PDF files (scripts/lib/test-cups.sh).

#include "support/PdfText.h"
#include "support/TestSupport.h"
#include "printing/PrintRecipe.h"
#include "printing/RecipePrintPage.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLibrary>
#include <QLineEdit>
#include <QPageLayout>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QScopeGuard>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace pantrio;
using Status = PrintResult::Status;

namespace {

QStringList pdfsIn(const QString& dir)
{
    return QDir(dir).entryList({QStringLiteral("*.pdf")}, QDir::Files);
}

bool isComplete(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 16)
        return false;
    file.seek(qMax<qint64>(0, file.size() - 64));
    return file.readAll().contains("%%EOF");
}

// The one PDF the queue writes after `before`, once it is complete; empty after a minute.
QString awaitNewPdf(const QString& dir, const QStringList& before)
{
    QDeadlineTimer deadline(60000);
    while (!deadline.hasExpired()) {
        const QStringList now = pdfsIn(dir);
        for (const QString& name : now) {
            if (!before.contains(name) && isComplete(QDir(dir).filePath(name)))
                return QDir(dir).filePath(name);
        }
        QTest::qWait(200);
    }
    return {};
}

} // namespace

class TestPrintCups : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void recipesPrintAsOnePageEach();
    void refusedJobIsReportedInThePrintersWords();
    void missingDefaultIsExplained_data();
    void missingDefaultIsExplained();

private:
    QString queue_, refusingQueue_, pdfDir_;
};

void TestPrintCups::initTestCase()
{
    queue_ = qEnvironmentVariable("PANTRIO_TEST_PRINTER");
    refusingQueue_ = qEnvironmentVariable("PANTRIO_TEST_REJECTING_PRINTER");
    pdfDir_ = qEnvironmentVariable("PANTRIO_TEST_PDF_DIR");
    if (queue_.isEmpty() || pdfDir_.isEmpty())
        QSKIP("No test CUPS server: PANTRIO_TEST_PRINTER and PANTRIO_TEST_PDF_DIR are set by scripts/test "
              "(scripts/lib/test-cups.sh)");
    QVERIFY(test::canReadPdf());
    // QtPrinter prints on the default printer; the test server makes its PDF queue the default.
    QCOMPARE(QPrinterInfo::defaultPrinter().printerName(), queue_);
}

void TestPrintCups::recipesPrintAsOnePageEach()
{
    test::FakeMessageBoxes messages;
    QtPrinter printer(messages);
    RecipePrintPage copy;

    // Where the window lies: the printable area's top-left.
    QPrinter probe(QPrinterInfo::printerInfo(queue_), QPrinter::HighResolution);
    const QPointF origin = probe.pageLayout().paintRectPoints().topLeft();

    struct Case
    {
        RecipeValues recipe;
        QString words[4]; // a word of each of the four boxes
    };
    const Case cases[] = {
        {test::recipe(QStringLiteral("Soups"), QStringLiteral("Minestrone"), QStringLiteral("Freezes well."),
                      QStringLiteral("2 carrots\n1 onion\n1 can beans"), QStringLiteral("Chop the vegetables and simmer them.")),
         {QStringLiteral("Soups"), QStringLiteral("Minestrone"), QStringLiteral("carrots"), QStringLiteral("Chop")}},
        {test::recipe(QStringLiteral("Desserts"), QStringLiteral("Pavlova"), FieldValue(),
                      QStringLiteral("4 egg whites\n1 cup sugar"), QStringLiteral("Whisk the whites, then bake low and slow.")),
         {QStringLiteral("Desserts"), QStringLiteral("Pavlova"), QStringLiteral("egg"), QStringLiteral("Whisk")}},
    };

    for (const Case& c : cases) {
        const bool notes = c.recipe[Field::Notes].has_value();
        const QStringList before = pdfsIn(pdfDir_);
        const PrintResult result = printRecipe(copy, c.recipe, printer);
        QCOMPARE(result.status, Status::Printed);
        QVERIFY(messages.shown.isEmpty());

        const QString pdf = awaitNewPdf(pdfDir_, before);
        QVERIFY2(!pdf.isEmpty(), "the queue wrote no PDF within a minute");
        const QList<test::PdfPage> pages = test::readPdf(pdf);
        QCOMPARE(pages.size(), 1);
        const test::PdfPage& page = pages.first();
        const bool a4 = qAbs(page.size.width() - 595) < 1.5 && qAbs(page.size.height() - 842) < 1.5;
        const bool letter = qAbs(page.size.width() - 612) < 1.5 && qAbs(page.size.height() - 792) < 1.5;
        QVERIFY2(a4 || letter,
                 qPrintable(QStringLiteral("%1 by %2 pt").arg(page.size.width()).arg(page.size.height())));

        const QWidget* boxes[] = {copy.categoryBox(), copy.nameBox(), copy.ingredientsBox(), copy.instructionsBox()};
        for (int i = 0; i < 4; ++i) {
            const QString problem = test::misplaced(page, c.words[i], test::onPage(boxes[i]->geometry(), origin));
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
        }
        const auto caption = [&copy](const char* name) { return copy.findChild<QLabel*>(QLatin1String(name)); };
        for (const auto& [word, label] : {std::pair{"Food", caption("Label1")}, std::pair{"Ingredients", caption("Label3")},
                                          std::pair{"Cooking", caption("Label4")}}) {
            const QString problem = test::misplaced(page, QString::fromLatin1(word), test::onPage(label->geometry(), origin));
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
        }

        if (notes) {
            QString problem = test::misplaced(page, QStringLiteral("Additional"), test::onPage(copy.notesLabel()->geometry(), origin));
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
            problem = test::misplaced(page, QStringLiteral("Freezes"), test::onPage(copy.notesBox()->geometry(), origin));
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
        } else {
            QVERIFY(!page.find(QStringLiteral("Additional")));
            QVERIFY(!page.find(QStringLiteral("Freezes")));
        }
    }
}

void TestPrintCups::refusedJobIsReportedInThePrintersWords()
{
    if (refusingQueue_.isEmpty())
        QSKIP("PANTRIO_TEST_REJECTING_PRINTER is not set");
    test::FakeMessageBoxes messages;
    QtPrinter printer(messages, QtPrinter::askWithSaveDialog,
                      [this] { return QPrinterInfo::printerInfo(refusingQueue_); });
    RecipePrintPage copy;
    const PrintResult result = printRecipe(copy, RecipeValues{}, printer);

    QCOMPARE(result.status, Status::Failed);
    // CUPS's own words: the destination is not accepting jobs.
    QVERIFY2(result.detail.contains(QStringLiteral("accepting")), qPrintable(result.detail));
    QCOMPARE(messages.shown.size(), 1);
    QCOMPARE(messages.shown[0].title, printer_text::failedTitle());
    QCOMPARE(messages.shown[0].text, printer_text::printFailed(refusingQueue_, result.detail));
}

void TestPrintCups::missingDefaultIsExplained_data()
{
    QTest::addColumn<bool>("serverRuns");
    QTest::addColumn<int>("cause");
    // The server has printers; a default the system does not name is the missing one.
    QTest::newRow("printers, none the default") << true << int(NoPrinterCause::NoDefault);
    QTest::newRow("print service stopped") << false << int(NoPrinterCause::ServiceStopped);
}

void TestPrintCups::missingDefaultIsExplained()
{
    QFETCH(bool, serverRuns);
    QFETCH(int, cause);
    // CUPS keeps its server per thread: pointing this one at a socket nobody serves stops it.
    using SetServer = void (*)(const char*);
    const auto setServer =
        reinterpret_cast<SetServer>(QLibrary::resolve(QStringLiteral("cups"), 2, "cupsSetServer"));
    QVERIFY(setServer);
    QTemporaryDir dir;
    if (!serverRuns)
        setServer(QFile::encodeName(dir.filePath(QStringLiteral("stopped.sock"))).constData());
    const auto restore = qScopeGuard([&] { setServer(nullptr); });

    QCOMPARE(int(noPrinterCause()), cause);
    test::FakeMessageBoxes messages;
    messages.answers = {MessageAnswer::Cancel};
    QtPrinter printer(messages, QtPrinter::askWithSaveDialog, [] { return QPrinterInfo(); });
    RecipePrintPage copy;
    QCOMPARE(printRecipe(copy, RecipeValues{}, printer).status, Status::NoPrinter);
    QCOMPARE(messages.shown.size(), 1);
    QCOMPARE(messages.shown[0].text, printer_text::noPrinter(NoPrinterCause(cause)));
}

QTEST_MAIN(TestPrintCups)
#include "tst_print_cups.moc"
