#pragma once

#include "platform/ProgramInfo.h"
#include "platform/Services.h"
#include "platform/SettingsKeys.h"
#include "platform/printer/Printer.h"
#include "platform/sysinfo/MemoryRegistry.h"
#include "store/RecordCursor.h"
#include "support/TestSupport.h"
#include "app/RecipeSession.h"
#include "support/FakeLauncher.h"
#include "windows/recipe/RecipeWindow.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <memory>

namespace pantrio::test {

// Draws each page into an image instead of printing it.
class ImagePrinter final : public Printer
{
public:
    PrintResult printPage(const QString& documentName, const DrawPage& draw) override
    {
        QImage page(850, 1100, QImage::Format_RGB32); // a Letter page at 100 dpi
        page.setDotsPerMeterX(3937);
        page.setDotsPerMeterY(3937);
        page.fill(Qt::white);
        QPainter p(&page);
        draw(p);
        p.end();
        pages.append(page);
        names.append(documentName);
        return {PrintResult::Status::Printed, {}};
    }
    QList<QImage> pages;
    QStringList names;
};

// A recipe window over a temporary program folder, with every service faked.
struct RecipeHarness
{
    RecipeHarness() : program(ProgramInfo::forThisBuild(dir.path()))
    {
        program.backupFolder = dir.filePath(QStringLiteral("backups"));
    }

    // Writes the recipe file (unless `rows` is null) and opens a window of `layout` on it.
    RecipeWindow& open(const RecipeLayout& layout, const QList<RecipeValues>* rows)
    {
        if (rows)
            makeRecipeFile(dir.path(), *rows);
        this->layout = &layout;
        window = std::make_unique<RecipeWindow>(layout, services);
        window->show();
        window->open();
        return *window;
    }

    QString path() const { return program.pathOf(QStringLiteral("Savorix.mdb")); }
    // What the window browses, found as a user's tool would find it: in the object tree.
    RecipeSession* session() const { return window->findChild<RecipeSession*>(); }
    QString caption() const { return window->findChild<QLabel*>(QStringLiteral("caption"))->text(); }
    QWidget* textBox(int i) const { return window->findChild<QWidget*>(QLatin1String(layout->boxes[size_t(i)].name)); }
    QLabel* label(int i) const { return window->findChild<QLabel*>(QLatin1String(layout->labels[size_t(i)].name)); }
    QWidget* recordBar() const { return window->findChild<QWidget*>(QStringLiteral("Data1")); }
    QString box(int i) const
    {
        QWidget* w = textBox(i);
        if (auto* line = qobject_cast<QLineEdit*>(w))
            return line->text();
        return static_cast<QPlainTextEdit*>(w)->toPlainText();
    }
    // Types into a box as the user would, so it counts as edited.
    void type(int i, const QString& text)
    {
        QWidget* w = textBox(i);
        w->setFocus();
        if (auto* line = qobject_cast<QLineEdit*>(w))
            line->selectAll();
        else
            static_cast<QPlainTextEdit*>(w)->selectAll();
        QTest::keyClicks(w, text);
    }
    // 0 first, 1 previous, 2 next, 3 last.
    void arrow(int i)
    {
        static const char* const names[] = {"first", "previous", "next", "last"};
        recordBar()->findChild<QToolButton*>(QLatin1String(names[i]))->click();
    }
    QPushButton* button(Command c) const
    {
        for (const ButtonSpec& b : layout->buttons)
            if (b.command == c)
                return window->findChild<QPushButton*>(QLatin1String(b.name));
        return nullptr;
    }

    enum class Answer { Enter, FindButton, Escape, Cancel, Close };
    // Answers the modal find dialog that the next action opens.
    void answerFind(const QString& text, Answer how = Answer::Enter, int attempts = 100)
    {
        QTimer::singleShot(attempts == 100 ? 0 : 20, [this, text, how, attempts] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (!dialog) {
                // The dialog may open a little later (a button pressed by its access key).
                if (attempts > 0)
                    answerFind(text, how, attempts - 1);
                else
                    ++findDialogsMissed;
                return;
            }
            ++findDialogsSeen;
            findDialogTexts << dialog->findChild<QLineEdit*>(QStringLiteral("txtFind"))->text();
            auto* box = dialog->findChild<QLineEdit*>(QStringLiteral("txtFind"));
            QTest::keyClicks(box, text);
            switch (how) {
            case Answer::Enter: QTest::keyClick(box, Qt::Key_Return); break;
            case Answer::FindButton: dialog->findChild<QPushButton*>(QStringLiteral("cmdFind"))->click(); break;
            case Answer::Escape: QTest::keyClick(box, Qt::Key_Escape); break;
            case Answer::Cancel: dialog->findChild<QPushButton*>(QStringLiteral("cmdCancel"))->click(); break;
            case Answer::Close: dialog->close(); break;
            }
        });
    }
    void find(const QString& text)
    {
        answerFind(text);
        button(Command::Find)->click();
    }
    QString savedSearch() const { return savedSearchText(settings); }

    QTemporaryDir dir;
    FakeSettingsStore settings;
    FakeMessageBoxes messages;
    FakeScreenMetrics screen;
    FakeBusyPointer pointer;
    ProgramInfo program;
    ImagePrinter printer;
    MemoryRegistry registry;
    FakeLauncher launcher;
    int ended = 0;
    int findDialogsSeen = 0;
    int findDialogsMissed = 0;
    QStringList findDialogTexts;
    Services services{settings, messages, screen, pointer, program, printer, registry, launcher, [this] { ++ended; }};
    const RecipeLayout* layout = nullptr;
    std::unique_ptr<RecipeWindow> window;
};

// A top-level window of the program by its object name; null when there is none.
inline QWidget* topLevelNamed(const QString& objectName)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == objectName)
            return w;
    return nullptr;
}

// "full" or "compact", as the data tables name them.
inline const RecipeLayout& layoutNamed(const QString& name)
{
    return name == QLatin1String("full") ? RecipeLayout::full() : RecipeLayout::compact();
}

inline QList<RecipeValues> sampleRows(int n = 12)
{
    QList<RecipeValues> rows;
    for (int i = 1; i <= n; ++i)
        rows << recipe(i % 3 == 0 ? QStringLiteral("Desserts") : QStringLiteral("Soups"),
                       QStringLiteral("Recipe %1").arg(i), i % 2 ? FieldValue(QStringLiteral("Note %1").arg(i)) : std::nullopt,
                       QStringLiteral("%1 cups water\n1 onion").arg(i), QStringLiteral("Boil.\nServe."));
    return rows;
}

} // namespace pantrio::test
