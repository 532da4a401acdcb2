#include "support/RecipeHarness.h"

#include <QCryptographicHash>
#include <QtTest>

using namespace pantrio;
using namespace pantrio::test;

namespace {

QByteArray digest(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

const QString Fixture = QStringLiteral(PANTRIO_EXCHANGE_DATA "/access/testV1997.mdb");

} // namespace

Q_DECLARE_METATYPE(pantrio::MessageAnswer)

// An Access file where the collection belongs: the window offers to convert it.
class TestOldCollection : public QObject
{
    Q_OBJECT

private slots:
    void offersConversion_data()
    {
        QTest::addColumn<MessageAnswer>("answer");
        QTest::addColumn<QString>("then");
        QTest::newRow("cancel: today's message")
            << MessageAnswer::Cancel << "it is a Microsoft Access database";
        // This Access file holds no recipe table, so the conversion fails.
        QTest::newRow("OK, conversion fails") << MessageAnswer::Ok << "could not convert";
    }

    void offersConversion()
    {
        QFETCH(MessageAnswer, answer);
        QFETCH(QString, then);
        RecipeHarness h;
        QVERIFY(QFile::copy(Fixture, h.path()));
        h.messages.answers.push_back(answer);
        h.open(RecipeLayout::full(), nullptr);
        QCOMPARE(h.messages.shown.size(), 2);
        QVERIFY2(h.messages.shown[0].text.contains(QStringLiteral(
                     "made by an earlier version of Pantrio. Convert it now? The original is kept as "
                     "\"Savorix (Access).mdb\".")),
                 qPrintable(h.messages.shown[0].text));
        QCOMPARE(h.messages.shown[0].buttons, MessageButtons::OkCancel);
        QVERIFY2(h.messages.shown[1].text.contains(then), qPrintable(h.messages.shown[1].text));
        QCOMPARE(digest(h.path()), digest(Fixture));
        QVERIFY(!QFileInfo::exists(h.program.pathOf(QStringLiteral("Savorix (Access).mdb"))));
        QVERIFY(!h.session()->isOpen());
    }
};

QTEST_MAIN(TestOldCollection)
#include "tst_oldcollection.moc"
