#include "platform/SettingsKeys.h"
#include "support/TestSupport.h"
#include "windows/find/FindDialog.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace pantrio;

namespace {

enum class Answer { Enter, FindButton, Escape, Cancel, Close };

QLineEdit* lineEdit(QWidget* dialog, const char* name)
{
    return dialog->findChild<QLineEdit*>(QLatin1String(name));
}

QPushButton* button(QWidget* dialog, const char* name)
{
    return dialog->findChild<QPushButton*>(QLatin1String(name));
}

} // namespace

class TestFindDialog : public QObject
{
    Q_OBJECT
private slots:
    void answers_data();
    void answers();
    void geometry();
    void scopeKeepsItsOwnText_data();
    void scopeKeepsItsOwnText();
};

void TestFindDialog::answers_data()
{
    QTest::addColumn<int>("how");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("returned");
    QTest::newRow("enter") << int(Answer::Enter) << "soup" << "soup";
    QTest::newRow("find button") << int(Answer::FindButton) << "soup" << "soup";
    QTest::newRow("blanks kept") << int(Answer::Enter) << "  soup " << "  soup ";
    QTest::newRow("blanks only") << int(Answer::Enter) << "   " << "   ";
    QTest::newRow("enter on empty box") << int(Answer::Enter) << "" << "";
    QTest::newRow("escape") << int(Answer::Escape) << "soup" << "";
    QTest::newRow("cancel") << int(Answer::Cancel) << "soup" << "";
    QTest::newRow("window closed") << int(Answer::Close) << "soup" << "";
}

void TestFindDialog::answers()
{
    QFETCH(int, how);
    QFETCH(QString, typed);
    QFETCH(QString, returned);
    test::FakeSettingsStore settings;
    saveSearchText(settings, QStringLiteral("earlier"));
    FindDialog dialog(settings);
    QLineEdit* searchBox = lineEdit(&dialog, "txtFind");
    QVERIFY(searchBox);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Find"));
    QCOMPARE(dialog.savedSearchText(), QStringLiteral("earlier"));
    QWidget* focused = nullptr;
    QTimer::singleShot(0, [&] {
        focused = dialog.focusWidget();
        QTest::keyClicks(searchBox, typed);
        switch (Answer(how)) {
        case Answer::Enter: QTest::keyClick(searchBox, Qt::Key_Return); break;
        case Answer::FindButton: button(&dialog, "cmdFind")->click(); break;
        case Answer::Escape: QTest::keyClick(searchBox, Qt::Key_Escape); break;
        case Answer::Cancel: button(&dialog, "cmdCancel")->click(); break;
        case Answer::Close: dialog.close(); break;
        }
    });
    dialog.exec();
    QCOMPARE(focused, searchBox);
    QVERIFY(dialog.isHidden());
    QCOMPARE(dialog.GetString(), returned);
    QCOMPARE(savedSearchText(settings), returned);
    QVERIFY(settings.has(SavedSearchKey.app, SavedSearchKey.section, SavedSearchKey.name));
    QCOMPARE(dialog.savedSearchText(), returned);
    QVERIFY(lineEdit(&dialog, "txtNext")->isHidden());
}

void TestFindDialog::geometry()
{
    test::FakeSettingsStore settings;
    FindDialog dialog(settings);
    dialog.show();
    QCOMPARE(dialog.size(), QSize(312, 75));
    QCOMPARE(lineEdit(&dialog, "txtFind")->geometry(), QRect(0, 8, 313, 19));
    QCOMPARE(button(&dialog, "cmdFind")->geometry(), QRect(32, 40, 73, 25));
    QCOMPARE(button(&dialog, "cmdCancel")->geometry(), QRect(200, 40, 73, 25));
    QVERIFY(button(&dialog, "cmdFind")->isDefault());
    QVERIFY(lineEdit(&dialog, "txtNext")->isHidden());
    QVERIFY(!(dialog.windowFlags() & Qt::WindowCloseButtonHint));
    QVERIFY(!(dialog.windowFlags() & Qt::WindowSystemMenuHint));
}

void TestFindDialog::scopeKeepsItsOwnText_data()
{
    QTest::addColumn<int>("scope");
    QTest::addColumn<QString>("ownKey");
    QTest::addColumn<QString>("otherKey");
    QTest::newRow("name or category") << int(FindScope::NameOrCategory) << "Find" << "FindAnywhere";
    QTest::newRow("every field") << int(FindScope::EveryField) << "FindAnywhere" << "Find";
}

void TestFindDialog::scopeKeepsItsOwnText()
{
    QFETCH(int, scope);
    QFETCH(QString, ownKey);
    QFETCH(QString, otherKey);
    const QString app = QStringLiteral("Pantrio"), section = QStringLiteral("Find Next");
    test::FakeSettingsStore settings;
    settings.write(app, section, ownKey, QStringLiteral("own"));
    settings.write(app, section, otherKey, QStringLiteral("other"));
    FindDialog dialog(settings, FindScope(scope));
    // The two look alike; a screen reader is told which one this is.
    QCOMPARE(dialog.accessibleDescription().contains(QStringLiteral("every field")),
             FindScope(scope) == FindScope::EveryField);
    QCOMPARE(dialog.savedSearchText(), QStringLiteral("own"));
    QTimer::singleShot(0, [&] {
        QTest::keyClicks(lineEdit(&dialog, "txtFind"), QStringLiteral("soup"));
        QTest::keyClick(lineEdit(&dialog, "txtFind"), Qt::Key_Return);
    });
    dialog.exec();
    QCOMPARE(dialog.GetString(), QStringLiteral("soup"));
    QCOMPARE(settings.read(app, section, ownKey, QString()), QStringLiteral("soup"));
    QCOMPARE(settings.read(app, section, otherKey, QString()), QStringLiteral("other"));
}

QTEST_MAIN(TestFindDialog)
#include "tst_finddialog.moc"
