#include "support/FakeLauncher.h"
#include "support/TestSupport.h"

#include "platform/ProgramInfo.h"
#include "platform/printer/Printer.h"
#include "platform/sysinfo/MemoryRegistry.h"
#include "platform/sysinfo/SysInfo.h"
#include "windows/about/AboutWindow.h"

#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

#include <memory>

using namespace pantrio;

namespace {

class UnusedPrinter final : public Printer
{
public:
    PrintResult printPage(const QString&, const DrawPage&) override { return {}; }
};

// Everything the window is handed, with fakes.
struct Fixture
{
    explicit Fixture(ProgramInfo info = ProgramInfo::forThisBuild(QStringLiteral("/tmp")))
        : program(std::move(info))
    {
    }

    test::FakeSettingsStore settings;
    test::FakeMessageBoxes messages;
    test::FakeScreenMetrics screen;
    test::FakeBusyPointer pointer;
    ProgramInfo program;
    UnusedPrinter printer;
    MemoryRegistry registry;
    test::FakeLauncher launcher;
    bool ended = false;
    Services services{settings, messages, screen, pointer, program, printer, registry, launcher,
                      [this] { ended = true; }};
};

template<typename Control>
Control* control(QWidget* about, const char* name)
{
    return about->findChild<Control*>(QLatin1String(name));
}

QLabel* textLabel(QWidget* about, const char* name)
{
    return control<QLabel>(about, name);
}

QPushButton* pushButton(QWidget* about, const char* name)
{
    return control<QPushButton>(about, name);
}

QList<AboutWindow*> aboutWindows()
{
    QList<AboutWindow*> found;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows)
        if (auto* about = qobject_cast<AboutWindow*>(w))
            found.append(about);
    return found;
}

// Widgets reached by Tab from `start`, in order, until it comes round again.
QList<QWidget*> tabChain(QWidget* start)
{
    QList<QWidget*> chain{start};
    for (QWidget* w = start->nextInFocusChain(); w != start; w = w->nextInFocusChain())
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled())
            chain.append(w);
    return chain;
}

} // namespace

class TestAboutWindow : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void controls_data();
    void controls();
    void window();
    void versionFromProgramInfo();
    void separator();
    void closesByKey_data();
    void closesByKey();
    void closesByOk();
    void showSingleKeepsOneWindow();
    void sysInfoStartsTool();
    void sysInfoUnavailableKeepsWindow();
};

void TestAboutWindow::cleanup()
{
    qDeleteAll(aboutWindows());
}

void TestAboutWindow::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QRect>("geometry"); // pixels, from the twips / 15
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("family");
    QTest::addColumn<double>("pointSize");
    QTest::addColumn<QColor>("colour"); // invalid: the window's default
    QTest::addColumn<int>("tabPlace");  // place in the Tab cycle from cmdOK, -1 for none
    QTest::addColumn<bool>("isDefault");

    const QString serif = QStringLiteral("Liberation Serif");
    const QString sans = QStringLiteral("Liberation Sans");
    const QColor black(0, 0, 0);
    const ProgramInfo info = ProgramInfo::forThisBuild(QStringLiteral("/tmp"));

    QTest::newRow("picIcon") << "picIcon" << "picture" << QRect(16, 16, 36, 36) << QString() << sans << 8.25
                             << QColor() << 1 << false;
    QTest::newRow("lblTitle") << "lblTitle" << "label" << QRect(70, 16, 259, 32)
                              << QStringLiteral("Veltrane's Pantrio") << serif << 9.75 << black << -1 << false;
    QTest::newRow("lblVersion") << "lblVersion" << "label" << QRect(70, 52, 259, 15)
                                << QStringLiteral("Version 2.4.11") << serif << 9.75 << QColor() << -1 << false;
    QTest::newRow("lblDescription") << "lblDescription" << "label" << QRect(70, 75, 259, 78) << info.description
                                    << serif << 9.75 << black << -1 << false;
    QTest::newRow("lblDisclaimer") << "lblDisclaimer" << "label" << QRect(8, 168, 282, 87) << QString() << serif
                                   << 9.75 << black << -1 << false;
    QTest::newRow("cmdOK") << "cmdOK" << "button" << QRect(296, 184, 84, 23) << QStringLiteral("OK") << sans << 8.25
                           << QColor() << 0 << true;
    QTest::newRow("cmdSysInfo") << "cmdSysInfo" << "button" << QRect(296, 216, 83, 23)
                                << QStringLiteral("&System Info...") << sans << 8.25 << QColor() << 2 << false;
    QTest::newRow("lblCopyright") << "lblCopyright" << "label" << QRect(8, 264, 281, 17) << info.legalNotice << sans
                                  << 8.25 << QColor(0, 0, 192) << -1 << false;
}

void TestAboutWindow::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(QString, family);
    QFETCH(double, pointSize);
    QFETCH(QColor, colour);
    QFETCH(int, tabPlace);
    QFETCH(bool, isDefault);

    Fixture f;
    AboutWindow about(f.services);
    auto* control = about.findChild<QWidget*>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(), geometry);
    QCOMPARE(QFontInfo(control->font()).family(), family);
    QCOMPARE(control->font().pointSizeF(), pointSize);

    auto* label = qobject_cast<QLabel*>(control);
    auto* button = qobject_cast<QPushButton*>(control);
    if (kind == QLatin1String("button")) {
        QVERIFY(button);
        QCOMPARE(button->text(), text);
        QCOMPARE(button->isDefault(), isDefault);
    } else {
        QVERIFY(label);
        QVERIFY(!label->autoFillBackground() || kind == QLatin1String("picture"));
        if (kind == QLatin1String("picture")) {
            QVERIFY(!label->pixmap().isNull());
            QCOMPARE(label->pixmap().size(), QSize(32, 32));
        } else if (!text.isEmpty()) {
            QCOMPARE(label->text(), text);
        } else {
            QVERIFY(!label->text().isEmpty());
        }
    }
    if (colour.isValid())
        QCOMPARE(control->palette().color(QPalette::WindowText), colour);
    else
        QCOMPARE(control->palette().color(QPalette::WindowText), about.palette().color(QPalette::WindowText));

    const QList<QWidget*> chain = tabChain(pushButton(&about, "cmdOK"));
    QCOMPARE(chain.indexOf(control), tabPlace);
    QCOMPARE(chain.size(), 3);
    if (tabPlace < 0)
        QCOMPARE(control->focusPolicy(), Qt::NoFocus);
}

void TestAboutWindow::window()
{
    Fixture f;
    QPointer<AboutWindow> slot;
    AboutWindow* about = AboutWindow::showSingle(slot, f.services);
    QCOMPARE(about->objectName(), QStringLiteral("frmAbout"));
    QCOMPARE(about->windowTitle(), QStringLiteral("About Veltrane's Pantrio"));
    QCOMPARE(about->size(), QSize(384, 282));
    QCOMPARE(about->minimumSize(), about->maximumSize());
    QVERIFY(!about->parentWidget());
    QVERIFY(!about->isModal());
    QVERIFY(about->testAttribute(Qt::WA_DeleteOnClose));

    const Qt::WindowFlags flags = about->windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Tool);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));

    const QPoint offCentre = about->frameGeometry().center() - about->screen()->availableGeometry().center();
    QVERIFY2(offCentre.manhattanLength() <= 2, qPrintable(QStringLiteral("%1,%2").arg(offCentre.x()).arg(offCentre.y())));
    QTRY_COMPARE(QApplication::focusWidget(), pushButton(about, "cmdOK"));
}

void TestAboutWindow::versionFromProgramInfo()
{
    ProgramInfo info;
    info.title = QStringLiteral("Other & Co");
    info.major = 10;
    info.minor = 0;
    info.revision = 305;
    info.description = QStringLiteral("<b>not bold</b>");
    info.legalNotice = QStringLiteral("Notice");
    Fixture f(info);
    AboutWindow about(f.services);
    QCOMPARE(about.windowTitle(), QStringLiteral("About Other & Co"));
    QCOMPARE(textLabel(&about, "lblVersion")->text(), QStringLiteral("Version 10.0.305"));
    QCOMPARE(textLabel(&about, "lblTitle")->text(), info.title);
    QCOMPARE(textLabel(&about, "lblDescription")->text(), info.description);
    QCOMPARE(textLabel(&about, "lblDescription")->textFormat(), Qt::PlainText);
    QCOMPARE(textLabel(&about, "lblCopyright")->text(), info.legalNotice);
}

void TestAboutWindow::separator()
{
    Fixture f;
    AboutWindow about(f.services);
    const QImage image = about.grab().toImage();
    const QColor grey(128, 128, 128);
    const QColor white(255, 255, 255);
    for (int x : {6, 200, 376})
        QCOMPARE(image.pixelColor(x, 163), grey);
    for (int x : {7, 200, 376}) {
        QCOMPARE(image.pixelColor(x, 164), white);
        QCOMPARE(image.pixelColor(x, 165), white);
    }
}

void TestAboutWindow::closesByKey_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");

    QTest::newRow("Enter on OK") << "cmdOK" << int(Qt::Key_Return);
    QTest::newRow("keypad Enter on OK") << "cmdOK" << int(Qt::Key_Enter);
    QTest::newRow("Esc on OK") << "cmdOK" << int(Qt::Key_Escape);
    QTest::newRow("Enter on the icon") << "picIcon" << int(Qt::Key_Return);
    QTest::newRow("Esc on the icon") << "picIcon" << int(Qt::Key_Escape);
    QTest::newRow("Esc on System Info") << "cmdSysInfo" << int(Qt::Key_Escape);
}

void TestAboutWindow::closesByKey()
{
    QFETCH(QString, focus);
    QFETCH(int, key);

    Fixture f;
    QPointer<AboutWindow> slot;
    AboutWindow::showSingle(slot, f.services);
    QVERIFY(QTest::qWaitForWindowActive(slot));
    auto* target = slot->findChild<QWidget*>(focus);
    target->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), target);
    QTest::keyClick(target, Qt::Key(key));
    QTRY_VERIFY(slot.isNull());
    QVERIFY(f.launcher.started.isEmpty());
    QVERIFY(f.messages.shown.isEmpty());
}

void TestAboutWindow::closesByOk()
{
    Fixture f;
    QPointer<AboutWindow> slot;
    AboutWindow::showSingle(slot, f.services);
    QTest::mouseClick(pushButton(slot, "cmdOK"), Qt::LeftButton);
    QTRY_VERIFY(slot.isNull());
}

void TestAboutWindow::showSingleKeepsOneWindow()
{
    Fixture f;
    QPointer<AboutWindow> slot;
    AboutWindow* first = AboutWindow::showSingle(slot, f.services);
    QCOMPARE(slot.data(), first);
    textLabel(first, "lblVersion")->setText(QStringLiteral("changed"));

    QCOMPARE(AboutWindow::showSingle(slot, f.services), first);
    QCOMPARE(aboutWindows().size(), 1);
    QVERIFY(first->isVisible());
    QCOMPARE(textLabel(first, "lblVersion")->text(), QStringLiteral("changed"));

    // Closing unloads it; the next one is made afresh.
    first->close();
    QTRY_VERIFY(slot.isNull());
    AboutWindow* second = AboutWindow::showSingle(slot, f.services);
    QVERIFY(second->isVisible());
    QCOMPARE(textLabel(second, "lblVersion")->text(), QStringLiteral("Version 2.4.11"));
    QCOMPARE(aboutWindows().size(), 1);
}

void TestAboutWindow::sysInfoStartsTool()
{
    Fixture f;
    f.registry.setValue(Registry::LocalMachine, ToolPathKey, ToolPathValue, Registry::String,
                        QByteArray("/usr/bin/hardinfo\0", 18));
    QPointer<AboutWindow> slot;
    AboutWindow::showSingle(slot, f.services);
    QTest::mouseClick(pushButton(slot, "cmdSysInfo"), Qt::LeftButton);
    QCOMPARE(f.launcher.started, QStringList{QStringLiteral("/usr/bin/hardinfo")});
    QVERIFY(f.messages.shown.isEmpty());
    QVERIFY(slot && slot->isVisible());
}

void TestAboutWindow::sysInfoUnavailableKeepsWindow()
{
    Fixture f;
    QPointer<AboutWindow> slot;
    AboutWindow::showSingle(slot, f.services);
    QVERIFY(QTest::qWaitForWindowActive(slot));
    QTest::keyClick(slot, Qt::Key_S, Qt::AltModifier);
    QTRY_COMPARE(f.messages.shown.size(), 1); // the access key clicks after a short animation
    QVERIFY(f.launcher.started.isEmpty());
    QCOMPARE(f.messages.shown.front().text, QStringLiteral("System Information Is Unavailable At This Time"));
    QCOMPARE(f.messages.shown.front().title, QStringLiteral("Veltrane's Pantrio"));
    QCOMPARE(f.messages.shown.front().icon, MessageIcon::None);
    QCoreApplication::processEvents();
    QVERIFY(slot && slot->isVisible());
}

QTEST_MAIN(TestAboutWindow)
#include "tst_aboutwindow.moc"
