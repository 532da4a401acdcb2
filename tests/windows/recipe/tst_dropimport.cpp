#include "support/RecipeHarness.h"

#include <QDropEvent>
#include <QMimeData>
#include <QtTest>

using namespace pantrio;
using namespace pantrio::test;

namespace {

const QString Data = QStringLiteral(PANTRIO_EXCHANGE_DATA "/");

// Drags the files over `target` and drops them, as a file manager would.
bool drop(QWidget* target, const QStringList& files)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& f : files)
        urls << QUrl::fromLocalFile(f);
    data.setUrls(urls);
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &dropped);
    return dropped.isAccepted();
}

} // namespace

Q_DECLARE_METATYPE(pantrio::MessageAnswer)

class TestDropImport : public QObject
{
    Q_OBJECT

private slots:
    void importsDroppedFiles_data()
    {
        QTest::addColumn<bool>("compact");
        QTest::addColumn<bool>("onBox");
        QTest::addColumn<MessageAnswer>("confirm");
        QTest::newRow("full window") << false << false << MessageAnswer::Ok;
        QTest::newRow("compact window, on a box") << true << true << MessageAnswer::Ok;
        QTest::newRow("declined") << false << false << MessageAnswer::Cancel;
    }

    void importsDroppedFiles()
    {
        QFETCH(bool, compact);
        QFETCH(bool, onBox);
        QFETCH(MessageAnswer, confirm);
        RecipeHarness h;
        const QList<RecipeValues> rows = {recipe(QStringLiteral("Soups"), QStringLiteral("Leek Soup")),
                                          recipe(QStringLiteral("Pies"), QStringLiteral("Apple Pie"))};
        h.open(compact ? RecipeLayout::compact() : RecipeLayout::full(), &rows);
        const QString nameBefore = h.box(1);
        h.messages.answers.push_back(confirm);

        QVERIFY(drop(onBox ? h.textBox(1) : h.window.get(),
                     {Data + QStringLiteral("list.json"), Data + QStringLiteral("recipe.json")}));
        QTRY_VERIFY(!h.messages.shown.isEmpty());
        QVERIFY2(h.messages.shown[0].text.contains(QStringLiteral("these 2 files")),
                 qPrintable(h.messages.shown[0].text));
        QCOMPARE(h.messages.shown[0].buttons, MessageButtons::OkCancel);
        if (confirm == MessageAnswer::Cancel) {
            QCOMPARE(h.messages.shown.size(), 1);
            QCOMPARE(h.session()->count(), 2);
            QCOMPARE(h.box(1), nameBefore);
            return;
        }
        QCOMPARE(h.messages.shown.size(), 2);
        QVERIFY2(h.messages.shown[1].text.startsWith(QStringLiteral(
                     "Imported 3 recipe(s), 0 duplicate(s) skipped, 1 refused.\n\nlist.json, line 12:")),
                 qPrintable(h.messages.shown[1].text));
        QCOMPARE(h.session()->count(), 5);
        QCOMPARE(h.session()->position(), 2);
        QCOMPARE(h.box(1), QStringLiteral("Mango Lassi")); // the first imported, not the dropped file's name
    }
};

QTEST_MAIN(TestDropImport)
#include "tst_dropimport.moc"
