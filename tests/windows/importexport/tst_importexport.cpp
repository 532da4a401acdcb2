#include "app/RecipeList.h"
#include "exchange/RecipeExport.h"
#include "exchange/RecipeFormats.h"
#include "support/HttpServer.h"
#include "support/RecipeHarness.h"
#include "windows/list/RecipeListWindow.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QRadioButton>
#include <QTableView>
#include <QtTest>

using namespace pantrio;
using namespace pantrio::test;

namespace {

// Runs `answer` on the dialog the menu entry opens, then closes the dialog if it is still
// open; returns once the entry's command has ended.
void withDialog(RecipeHarness& h, const char* entry, const std::function<void(QDialog*)>& answer)
{
    bool answered = false;
    std::function<void()> look;
    look = [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            QTimer::singleShot(10, look);
            return;
        }
        answered = true;
        answer(dialog);
        if (dialog->isVisible())
            dialog->close();
    };
    QTimer::singleShot(0, look);
    h.window->findChild<QAction*>(QLatin1String(entry))->trigger();
    QVERIFY(answered);
}

template <typename T> T* child(QWidget* dialog, const char* name)
{
    T* w = dialog->findChild<T*>(QLatin1String(name));
    if (!w)
        qFatal("no %s", name);
    return w;
}

QList<RecipeValues> readBack(const QString& file, exchange::ExportFormat format)
{
    QList<RecipeValues> recipes;
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return recipes;
    exchange::ReadEvents events;
    events.recipe = [&](RecipeValues&& r, std::int64_t) {
        recipes << r;
        return true;
    };
    events.problem = [](std::int64_t, const QString&) {};
    format == exchange::ExportFormat::Html ? exchange::readHtml(in, events) : exchange::readJson(in, events);
    return recipes;
}

const QByteArray SoupPage =
    "<!DOCTYPE html><html><head><script type=\"application/ld+json\">"
    "{\"@context\": \"https://schema.org\", \"@type\": \"Recipe\", \"name\": \"Fetched Tomato Soup\", "
    "\"recipeIngredient\": [\"6 tomatoes\", \"1 onion\"], \"recipeInstructions\": \"Simmer and blend.\"}"
    "</script></head><body>Soup</body></html>";

} // namespace

Q_DECLARE_METATYPE(pantrio::exchange::ExportFormat)

class TestImportExport : public QObject
{
    Q_OBJECT

private slots:
    // A page is fetched while the dialog stays responsive; a failure says what the fetch found,
    // keeps the address and stores nothing.
    void importsAWebPageByAddress_data()
    {
        QTest::addColumn<QString>("address"); // a path on the test's server, or a whole address
        QTest::addColumn<QString>("problem"); // empty when the page is to be imported
        QTest::newRow("page") << "/soup"
                              << "";
        QTest::newRow("missing page") << "/missing"
                                      << "the page was not found (HTTP 404 Not Found)";
        QTest::newRow("other scheme") << "ftp://127.0.0.1/soup"
                                      << "only http:// and https:// addresses can be fetched, not ftp:";
    }

    void importsAWebPageByAddress()
    {
        QFETCH(QString, address);
        QFETCH(QString, problem);
        HttpServer server;
        server.answers = {{"/soup", HttpServer::response("200 OK", "Content-Type: text/html\r\n", SoupPage)}};
        if (address.startsWith(u'/'))
            address = server.url(address.toLatin1().constData());
        RecipeHarness h;
        const auto rows = sampleRows(3);
        h.open(RecipeLayout::full(), &rows);

        QString kept;
        bool told = false, closed = false;
        withDialog(h, "importEntry", [&](QDialog* dialog) {
            QCOMPARE(dialog->objectName(), QStringLiteral("importDialog"));
            QTest::keyClicks(child<QLineEdit>(dialog, "txtAddress"), address);
            child<QPushButton>(dialog, "cmdImport")->click();
            told = QTest::qWaitFor([&] { return !h.messages.shown.isEmpty(); }, 10000);
            QTest::qWait(20); // the dialog closes after the summary
            kept = child<QLineEdit>(dialog, "txtAddress")->text();
            closed = !dialog->isVisible();
        });
        QVERIFY(told);
        QCOMPARE(h.messages.shown.size(), 1);
        const QString message = h.messages.shown.first().text;
        if (problem.isEmpty()) {
            QCOMPARE(message, QStringLiteral("Imported 1 recipe(s), 0 duplicate(s) skipped, 0 refused."));
            QVERIFY(closed);
            QCOMPARE(h.session()->count(), 4);
            QCOMPARE(h.box(1), QStringLiteral("Fetched Tomato Soup"));
            return;
        }
        QVERIFY2(message.contains(problem), qPrintable(message));
        QVERIFY(!closed);
        QCOMPARE(kept, address);
        QCOMPARE(h.session()->count(), 3);
    }

    // With the recipe list open, exactly its rows go out, in its order, and nothing else.
    void exportsTheListsRows_data()
    {
        QTest::addColumn<exchange::ExportFormat>("format");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("cookbook") << exchange::ExportFormat::Html << ".html";
        QTest::newRow("JSON-LD") << exchange::ExportFormat::Json << ".json";
    }

    void exportsTheListsRows()
    {
        QFETCH(exchange::ExportFormat, format);
        QFETCH(QString, suffix);
        RecipeHarness h;
        const auto rows = sampleRows(12);
        h.open(RecipeLayout::full(), &rows);
        h.window->findChild<QAction*>(QStringLiteral("recipeListEntry"))->trigger();
        auto* listWindow = h.window->findChild<RecipeListWindow*>();
        QVERIFY(listWindow && listWindow->isVisible());
        QTest::keyClicks(listWindow->findChild<QLineEdit*>(QStringLiteral("txtFilter")),
                         QStringLiteral("Desserts"));
        RecipeList* list = listWindow->list();
        QTRY_VERIFY(list->isLoaded() && !list->isFiltering() && list->filter() == u"Desserts");
        QVERIFY(list->shownCount() > 1 && list->shownCount() < 12);
        emit listWindow->findChild<QTableView*>()->horizontalHeader()->sectionClicked(2); // another order
        QStringList listed;
        for (int row = 0; row < list->shownCount(); ++row)
            listed << list->text(row, RecipeList::Column::Name);

        const QString typed = h.dir.filePath(QStringLiteral("listed.mmf"));
        QString file;
        withDialog(h, "exportEntry", [&](QDialog* dialog) {
            QCOMPARE(dialog->objectName(), QStringLiteral("exportDialog"));
            child<QLineEdit>(dialog, "txtFile")->setText(typed);
            auto* formats = child<QComboBox>(dialog, "cboFormat");
            formats->setCurrentIndex(formats->findData(int(format)));
            file = child<QLineEdit>(dialog, "txtFile")->text();
            auto* listed = child<QRadioButton>(dialog, "optListed");
            QVERIFY(listed->isEnabled());
            listed->click();
            child<QPushButton>(dialog, "cmdExport")->click();
        });
        QCOMPARE(file, h.dir.filePath(QStringLiteral("listed")) + suffix); // the extension follows the format
        QStringList exported;
        for (const RecipeValues& r : readBack(file, format))
            exported << r[Field::RecipeName].value_or(QString());
        QCOMPARE(exported, listed);
        QCOMPARE(h.messages.shown.last().text,
                 QStringLiteral("Exported %1 recipe(s) to \"%2\".").arg(listed.size()).arg(file));
    }
};

QTEST_MAIN(TestImportExport)
#include "tst_importexport.moc"
