#include "exchange/AccessFile.h"

#include <csignal>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using namespace pantrio::exchange;
using namespace std::chrono_literals;

namespace {

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const AccessRow anyRow = [](const QStringList&, const QList<pantrio::FieldValue>&) { return true; };

} // namespace

class TestAccessReader : public QObject
{
    Q_OBJECT

private slots:
    // Cut short, or with bytes changed where the list of tables lies: some of these make the
    // Access library loop for ever. Each read ends, in error or not, and leaves the file alone.
    void damagedFilesEndWithinTheLimit()
    {
        const std::pair<const char*, const char*> files[] = {{"testV1997.mdb", "Table1"},
                                                             {"test2V2000.mdb", "MSP_PROJECTS"},
                                                             {"testUnicodeCompV2003.mdb", "Table"}};
        QTemporaryDir dir;
        QRandomGenerator random(20261209);
        AccessReading how;
        how.reader = QStringLiteral(PANTRIO_ACCESS_READER);
        how.idleLimit = 1s;
        int failed = 0, copies = 0;
        for (const auto& [name, table] : files) {
            const QByteArray good =
                contents(QStringLiteral(PANTRIO_EXCHANGE_DATA "/access/") + QLatin1String(name));
            const int page = good.at(0x14) == 0 ? 2048 : 4096; // Jet 3, Jet 4
            QList<QByteArray> damaged;
            for (int eighth : {2, 4, 7})
                damaged << good.left(good.size() * eighth / 8);
            for (int i = 0; i < 4; ++i) {
                damaged << good;
                for (int n = 0; n < 8; ++n)
                    damaged.last()[page * random.bounded(1, 8) + random.bounded(page)] =
                        char(random.bounded(256));
            }
            for (const QByteArray& bytes : damaged) {
                QFile copy(dir.filePath(QStringLiteral("%1.mdb").arg(++copies)));
                QVERIFY(copy.open(QIODevice::WriteOnly) && copy.write(bytes) == bytes.size());
                copy.close();
                QElapsedTimer clock;
                clock.start();
                try {
                    readAccessTable(copy.fileName(), QLatin1String(table), anyRow, how);
                } catch (const ReadError&) {
                    ++failed;
                }
                // The limit, with room for a slow machine.
                QVERIFY2(clock.elapsed() < 20'000, qPrintable(copy.fileName()));
                QCOMPARE(contents(copy.fileName()), bytes);
            }
        }
        QVERIFY(failed > 0);
    }

    // A stand-in for the reader misbehaves as `mode` says: each limit, or a Cancel, ends it.
    void misbehavingReaderIsEnded_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("cancel");
        QTest::newRow("silent for longer than the limit") << "silent" << false;
        QTest::newRow("cancelled while silent") << "silent" << true;
        QTest::newRow("over the memory limit") << "hungry" << false;
        QTest::newRow("more rows than the file can hold") << "endless" << false;
        QTest::newRow("a frame larger than allowed") << "boast" << false;
    }

    void misbehavingReaderIsEnded()
    {
        QFETCH(QString, mode);
        QFETCH(bool, cancel);
        QTemporaryDir dir;
        const QString pidFile = dir.filePath(QStringLiteral("pid"));
        AccessReading how;
        how.reader = QStringLiteral(PANTRIO_MISBEHAVING_READER);
        how.memoryLimit = 256 << 20;
        how.idleLimit = mode == u"silent" && !cancel ? 300ms : 600s; // only what is tested ends it
        if (cancel)
            how.progress = [&](std::int64_t, std::int64_t) { return contents(pidFile).isEmpty(); };
        try {
            QCOMPARE(readAccessTable(pidFile, mode, anyRow, how), false);
            QVERIFY(cancel);
        } catch (const ReadError& e) {
            QVERIFY2(!cancel && e.message().contains(QStringLiteral("could not be read (it may be damaged)")),
                     qPrintable(e.message()));
        }
        const int pid = contents(pidFile).toInt();
        QVERIFY(pid > 0 && kill(pid, 0) != 0 && errno == ESRCH); // ended, and waited for
    }
};

QTEST_GUILESS_MAIN(TestAccessReader)
#include "tst_accessreader.moc"
