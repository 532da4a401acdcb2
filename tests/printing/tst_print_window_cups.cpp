// The recipe windows' own print buttons, on a real CUPS queue that writes PDF files.

#include "support/PdfText.h"
#include "platform/ProgramInfo.h"
#include "platform/Services.h"
#include "platform/printer/Printer.h"
#include "platform/sysinfo/MemoryRegistry.h"
#include "store/RecordCursor.h"
#include "support/TestSupport.h"
#include "support/FakeLauncher.h"
#include "windows/recipe/RecipeWindow.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QPushButton>
#include <QToolButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace pantrio;
using namespace pantrio::test;

namespace {

QString awaitNewPdf(const QString& dir, const QStringList& before)
{
    QDeadlineTimer deadline(60000);
    while (!deadline.hasExpired()) {
        for (const QString& name : QDir(dir).entryList({QStringLiteral("*.pdf")}, QDir::Files)) {
            const QString path = QDir(dir).filePath(name);
            if (!before.contains(name) && !readPdf(path).isEmpty())
                return path;
        }
        QTest::qWait(200);
    }
    return {};
}

} // namespace

class TestPrintWindowCups : public QObject
{
    Q_OBJECT
private slots:
    void printButtons_data();
    void printButtons();
};

void TestPrintWindowCups::printButtons_data()
{
    QTest::addColumn<QString>("layout");
    QTest::newRow("full, Print") << "full";
    QTest::newRow("compact, &Print") << "compact";
}

void TestPrintWindowCups::printButtons()
{
    QFETCH(QString, layout);
    const QString pdfDir = qEnvironmentVariable("PANTRIO_TEST_PDF_DIR");
    if (qEnvironmentVariable("PANTRIO_TEST_PRINTER").isEmpty() || pdfDir.isEmpty())
        QSKIP("No test CUPS server: scripts/test starts one (scripts/lib/test-cups.sh)");
    QVERIFY(canReadPdf());

    QTemporaryDir dir;
    makeRecipeFile(dir.path(), {recipe(QStringLiteral("Soups"), QStringLiteral("Minestrone"),
                                       QStringLiteral("Freezes beautifully"), QStringLiteral("2 carrots\n1 leek"),
                                       QStringLiteral("Simmer gently.")),
                                recipe(QStringLiteral("Desserts"), QStringLiteral("Pavlova"), std::nullopt,
                                       QStringLiteral("4 egg whites"), QStringLiteral("Bake low and slow."))});
    FakeSettingsStore settings;
    FakeMessageBoxes messages;
    FakeScreenMetrics screen;
    FakeBusyPointer pointer;
    const ProgramInfo program = ProgramInfo::forThisBuild(dir.path());
    QtPrinter printer(messages);
    MemoryRegistry registry;
    FakeLauncher launcher;
    Services services{settings, messages, screen, pointer, program, printer, registry, launcher, [] {}};
    const RecipeLayout& shape = layout == QLatin1String("full") ? RecipeLayout::full() : RecipeLayout::compact();
    RecipeWindow window(shape, services);
    window.show();
    window.open();

    const struct
    {
        QString name;
        QString ingredient;
        bool notes;
    } expected[] = {{QStringLiteral("Minestrone"), QStringLiteral("carrots"), true},
                    {QStringLiteral("Pavlova"), QStringLiteral("egg"), false}};
    for (const auto& e : expected) {
        const QStringList before = QDir(pdfDir).entryList({QStringLiteral("*.pdf")}, QDir::Files);
        for (const ButtonSpec& b : shape.buttons)
            if (b.command == Command::Print)
                window.findChild<QPushButton*>(QLatin1String(b.name))->click();
        QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.shown.value(0).text));
        const QString pdf = awaitNewPdf(pdfDir, before);
        QVERIFY2(!pdf.isEmpty(), "the queue wrote no PDF within a minute");
        const QList<PdfPage> pages = readPdf(pdf);
        QCOMPARE(pages.size(), 1);
        QVERIFY(pages[0].find(e.name));
        QVERIFY(pages[0].find(e.ingredient));
        QVERIFY(pages[0].find(QStringLiteral("Instruction's")));
        QCOMPARE(pages[0].find(QStringLiteral("Additional")) != nullptr, e.notes);
        // on to the next recipe
        window.findChild<QToolButton*>(QStringLiteral("next"))->click();
    }
}

QTEST_MAIN(TestPrintWindowCups)
#include "tst_print_window_cups.moc"
