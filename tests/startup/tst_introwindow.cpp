#include "startup/IntroWindow.h"
#include "support/TestSupport.h"

#include "platform/Launcher.h"
#include "platform/ProgramInfo.h"
#include "platform/Registry.h"
#include "platform/Services.h"
#include "platform/SettingsKeys.h"
#include "platform/printer/Printer.h"

#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <QtTest>

#include <sys/stat.h>

using namespace pantrio;

namespace {

// The intro window prints nothing, reads no registry and starts nothing.
class UnusedPrinter final : public Printer
{
public:
    PrintResult printPage(const QString&, const DrawPage&) override { return {}; }
};

class UnusedRegistry final : public Registry
{
public:
    int openKey(Key, const QByteArray&, quint32, Key&) override { return FileNotFound; }
    int queryValue(Key, const QByteArray&, quint32&, char*, quint32&) override { return InvalidHandle; }
    int closeKey(Key) override { return InvalidHandle; }
};

class UnusedLauncher final : public Launcher
{
public:
    bool start(const QString&) override { return false; }
};

// The window's controls, found the way a user's tools see them.
QPushButton* okButton(QWidget* w)
{
    return w->findChild<QPushButton*>(QStringLiteral("Command1"));
}

QTextEdit* documentView(QWidget* w)
{
    return w->findChild<QTextEdit*>(QStringLiteral("RtxtBox"));
}

// Everything the window is handed, with a temporary program folder.
struct Fixture
{
    Fixture() { program.folder = folder.path(); }

    void writeIntro(const QByteArray& rtf) const
    {
        QFile file(program.pathOf(QStringLiteral("intro.rtf")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(rtf);
    }

    // A new window whose OK records how things stood when the recipe window was asked for.
    IntroWindow* open()
    {
        auto* w = new IntroWindow(services, [this] {
            ++recipeWindowsOpened;
            introVisibleAtOpen = window && window->isVisible();
            flagAtOpen = firstRunFlag(settings);
        });
        window = w;
        return w;
    }

    QTemporaryDir folder;
    test::FakeSettingsStore settings;
    test::FakeMessageBoxes messages;
    test::FakeScreenMetrics screen;
    test::FakeBusyPointer pointer;
    ProgramInfo program = ProgramInfo::forThisBuild(QString());
    UnusedPrinter printer;
    UnusedRegistry registry;
    UnusedLauncher launcher;
    Services services{settings, messages, screen, pointer, program, printer, registry, launcher, [] {}};

    QPointer<IntroWindow> window;
    int recipeWindowsOpened = 0;
    bool introVisibleAtOpen = false;
    QString flagAtOpen;
};

} // namespace

class TestIntroWindow : public QObject
{
    Q_OBJECT
private slots:
    void layout();
    void okHasFocusAndTabGoesToText();
    void keysPressOk_data();
    void keysPressOk();
    void clickOk();
    void titleBarClose_data();
    void titleBarClose();
    void showsDocumentFromProgramFolder();
    void missingOrUnreadableDocument_data();
    void missingOrUnreadableDocument();
    void bigDocument_data();
    void bigDocument();
    void textIsReadOnly();
    void shippedIntroFits();
};

void TestIntroWindow::layout()
{
    Fixture f;
    QVERIFY(f.folder.isValid());
    std::unique_ptr<IntroWindow> w(f.open());
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));

    QCOMPARE(w->objectName(), QStringLiteral("FirstRun"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Form1"));
    QCOMPARE(w->size(), QSize(465, 214));
    QVERIFY(w->testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(w->isWindow());
    // Sizable, with the usual title-bar buttons.
    QVERIFY(w->minimumSize() != w->maximumSize());
    const Qt::WindowFlags flags = w->windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));

    QVERIFY(okButton(w.get()));
    QCOMPARE(okButton(w.get())->text(), QStringLiteral("OK"));
    QCOMPARE(okButton(w.get())->geometry(), QRect(192, 188, 81, 25));
    QCOMPARE(okButton(w.get())->font().family(), QStringLiteral("Liberation Sans"));
    QCOMPARE(okButton(w.get())->font().pointSizeF(), 8.25);

    QVERIFY(documentView(w.get()));
    QCOMPARE(documentView(w.get())->geometry(), QRect(0, 0, 465, 185));

    // Nothing follows the size of the window.
    w->resize(700, 500);
    QCOMPARE(okButton(w.get())->geometry(), QRect(192, 188, 81, 25));
    QCOMPARE(documentView(w.get())->geometry(), QRect(0, 0, 465, 185));
}

void TestIntroWindow::okHasFocusAndTabGoesToText()
{
    Fixture f;
    std::unique_ptr<IntroWindow> w(f.open());
    w->show();
    QApplication::setActiveWindow(w.get());
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    QCOMPARE(QApplication::focusWidget(), okButton(w.get()));

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), documentView(w.get()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), okButton(w.get()));
    QCOMPARE(f.recipeWindowsOpened, 0);
}

void TestIntroWindow::keysPressOk_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Return") << int(Qt::Key_Return);
    QTest::newRow("Enter") << int(Qt::Key_Enter);
    QTest::newRow("Space") << int(Qt::Key_Space);
}

void TestIntroWindow::keysPressOk()
{
    QFETCH(int, key);
    Fixture f;
    IntroWindow* w = f.open();
    w->show();
    QApplication::setActiveWindow(w);
    QVERIFY(QTest::qWaitForWindowActive(w));
    QCOMPARE(QApplication::focusWidget(), okButton(w));

    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    QCOMPARE(f.recipeWindowsOpened, 1);
    QCOMPARE(firstRunFlag(f.settings), QStringLiteral("1"));
    QTRY_VERIFY(f.window.isNull());
}

void TestIntroWindow::clickOk()
{
    Fixture f;
    IntroWindow* w = f.open();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));

    QTest::mouseClick(okButton(w), Qt::LeftButton);
    // The recipe window is asked for first, while the intro is still up and before the flag.
    QCOMPARE(f.recipeWindowsOpened, 1);
    QVERIFY(f.introVisibleAtOpen);
    QCOMPARE(f.flagAtOpen, QString());
    QCOMPARE(firstRunFlag(f.settings), QStringLiteral("1"));
    QCOMPARE(f.settings.values.size(), 1);
    QVERIFY(f.window.isNull() || !f.window->isVisible());
    QTRY_VERIFY(f.window.isNull()); // destroyed, not just hidden
    QCOMPARE(f.recipeWindowsOpened, 1);
}

void TestIntroWindow::titleBarClose_data()
{
    QTest::addColumn<bool>("flagStored");
    QTest::newRow("flag already 1") << true;
    QTest::newRow("no flag") << false;
}

void TestIntroWindow::titleBarClose()
{
    QFETCH(bool, flagStored);
    Fixture f;
    if (flagStored)
        setFirstRunFlag(f.settings, QStringLiteral("1"));
    const auto before = f.settings.values;

    IntroWindow* w = f.open();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QVERIFY(w->close());
    QTRY_VERIFY(f.window.isNull());
    QCOMPARE(f.recipeWindowsOpened, 0);
    QCOMPARE(f.settings.values, before);
}

void TestIntroWindow::showsDocumentFromProgramFolder()
{
    Fixture f;
    f.writeIntro("{\\rtf1\\ansi{\\fonttbl{\\f0\\fswiss Arial;}}{\\colortbl;\\red0\\green0\\blue255;}"
                 "\\pard\\qc{\\b\\fs32 Hello}\\par\\pard {\\cf1 Welcome}\\par}");
    std::unique_ptr<IntroWindow> w(f.open());
    const QTextDocument* doc = documentView(w.get())->document();
    QCOMPARE(doc->toPlainText(), QStringLiteral("Hello\nWelcome"));
    const QTextBlock first = doc->firstBlock();
    QCOMPARE(first.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    const QTextCharFormat hello = first.begin().fragment().charFormat();
    QCOMPARE(hello.fontWeight(), int(QFont::Bold));
    QCOMPARE(hello.fontPointSize(), 16.0);
    const QTextCharFormat welcome = first.next().begin().fragment().charFormat();
    QCOMPARE(welcome.foreground().color(), QColor(0, 0, 255));
    // Shown from the top.
    QCOMPARE(documentView(w.get())->textCursor().position(), 0);
}

void TestIntroWindow::missingOrUnreadableDocument_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing") << "missing";
    QTest::newRow("a folder of that name") << "folder";
    QTest::newRow("not rich text") << "plain";
    QTest::newRow("a named pipe of that name") << "pipe";
}

void TestIntroWindow::missingOrUnreadableDocument()
{
    QFETCH(QString, kind);
    Fixture f;
    if (kind == QLatin1String("folder"))
        QVERIFY(QDir(f.folder.path()).mkdir(QStringLiteral("intro.rtf")));
    else if (kind == QLatin1String("plain"))
        f.writeIntro("Welcome, but not in RTF");
    else if (kind == QLatin1String("pipe")) // nobody writes to it: reading would wait forever
        QCOMPARE(mkfifo(QFile::encodeName(f.program.pathOf(QStringLiteral("intro.rtf"))).constData(), 0600),
                 0);

    IntroWindow* w = f.open();
    QVERIFY(documentView(w)->document()->isEmpty()); // nor the design-time text
    QVERIFY(f.messages.shown.isEmpty());
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QTest::mouseClick(okButton(w), Qt::LeftButton);
    QCOMPARE(f.recipeWindowsOpened, 1);
    QCOMPARE(firstRunFlag(f.settings), QStringLiteral("1"));
    QTRY_VERIFY(f.window.isNull());
}

void TestIntroWindow::bigDocument_data()
{
    QTest::addColumn<int>("words"); // characters of one unbroken paragraph
    QTest::addColumn<bool>("shown");
    QTest::newRow("just under the limit") << 1000000 << true;
    QTest::newRow("over the limit") << (3 << 20) << false;
}

void TestIntroWindow::bigDocument()
{
    QFETCH(int, words);
    QFETCH(bool, shown);
    Fixture f;
    // Laid out with word wrapping, one paragraph of this size keeps a window busy for minutes.
    f.writeIntro("{\\rtf1\\ansi " + QByteArray(words, 'w') + "}");
    IntroWindow* w = f.open();
    const QString text = documentView(w)->toPlainText();
    if (shown) {
        QCOMPARE(text.size(), qsizetype(words));
    } else {
        QVERIFY2(text.size() < 500, qPrintable(text.left(500)));
        QVERIFY(text.contains(QStringLiteral("intro.rtf")));
    }
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QTest::mouseClick(okButton(w), Qt::LeftButton);
    QCOMPARE(f.recipeWindowsOpened, 1);
    QTRY_VERIFY(f.window.isNull());
}

void TestIntroWindow::textIsReadOnly()
{
    Fixture f;
    f.writeIntro("{\\rtf1 Intro}");
    std::unique_ptr<IntroWindow> w(f.open());
    w->show();
    QApplication::setActiveWindow(w.get());
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    QVERIFY(documentView(w.get())->isReadOnly());
    documentView(w.get())->setFocus();
    QTest::keyClicks(documentView(w.get()), QStringLiteral("typed"));
    QCOMPARE(documentView(w.get())->toPlainText(), QStringLiteral("Intro"));
}

void TestIntroWindow::shippedIntroFits()
{
    // The shipped document reads into the box; its lines fit the box's width, so only
    // vertical scrolling is ever needed.
    Fixture f;
    QFile shipped(QStringLiteral(PANTRIO_INTRO_RTF));
    QVERIFY(shipped.open(QIODevice::ReadOnly));
    f.writeIntro(shipped.readAll());
    std::unique_ptr<IntroWindow> w(f.open());
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QVERIFY(documentView(w.get())->toPlainText().startsWith(QStringLiteral("Welcome to Veltrane\u2019s Pantrio")));
    QVERIFY(!documentView(w.get())->horizontalScrollBar()->isVisible());
}

QTEST_MAIN(TestIntroWindow)
#include "tst_introwindow.moc"
