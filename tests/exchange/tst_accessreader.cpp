#include "exchange/AccessFile.h"

#include <csignal>
#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using namespace pantrio;
using namespace pantrio::exchange;
using namespace std::chrono_literals;

namespace {

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}

AccessReading misbehaving()
{
    AccessReading how;
    how.reader = QStringLiteral(PANTRIO_MISBEHAVING_READER);
    how.idleLimit = 300ms;
    return how;
}

bool gone(const QString& pidFile)
{
    const int pid = contents(pidFile).toInt();
    return pid > 0 && kill(pid, 0) != 0 && errno == ESRCH;
}

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
                QByteArray bytes = good;
                for (int n = 0; n < 8; ++n)
                    bytes[page * random.bounded(1, 8) + random.bounded(page)] = char(random.bounded(256));
                damaged << bytes;
            }
            for (const QByteArray& bytes : damaged) {
                const QString path = dir.filePath(QStringLiteral("%1.mdb").arg(++copies));
                write(path, bytes);
                QElapsedTimer clock;
                clock.start();
                try {
                    readAccessTable(
                        path, QLatin1String(table), [](auto&&...) { return true; }, how);
                } catch (const ReadError&) {
                    ++failed;
                }
                QVERIFY2(clock.elapsed() < 20'000,
                         qPrintable(path)); // the limit, with room for a slow machine
                QCOMPARE(contents(path), bytes);
            }
        }
        QVERIFY(failed > 0);
    }

    void misbehavingReaderIsEnded_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("silent for longer than the limit") << "silent";
        QTest::newRow("over the memory limit") << "hungry";
        QTest::newRow("more rows than the file can hold") << "endless";
        QTest::newRow("a frame larger than allowed") << "boast";
    }

    void misbehavingReaderIsEnded()
    {
        QFETCH(QString, mode);
        QTemporaryDir dir;
        const QString pidFile = dir.filePath(QStringLiteral("pid"));
        AccessReading how = misbehaving();
        how.memoryLimit = 256 << 20;
        how.idleLimit = mode == u"hungry" ? 60s : 300ms;
        try {
            readAccessTable(
                pidFile, mode, [](auto&&...) { return true; }, how);
            QFAIL("read as if all were well");
        } catch (const ReadError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("could not be read (it may be damaged)")),
                     qPrintable(e.message()));
        }
        QVERIFY(gone(pidFile));
    }

    void cancelEndsTheReaderAtOnce()
    {
        QTemporaryDir dir;
        const QString pidFile = dir.filePath(QStringLiteral("pid"));
        AccessReading how = misbehaving();
        how.idleLimit = 600s;
        int calls = 0;
        how.progress = [&](std::int64_t, std::int64_t) { return ++calls < 3 || contents(pidFile).isEmpty(); };
        QVERIFY(!readAccessTable(
            pidFile, QStringLiteral("silent"), [](auto&&...) { return true; }, how));
        QVERIFY(gone(pidFile));
    }
};

QTEST_GUILESS_MAIN(TestAccessReader)
#include "tst_accessreader.moc"
