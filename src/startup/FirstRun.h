#pragma once

#include <QWidget>

#include <functional>

class QPushButton;
class QTextEdit;

namespace pantrio {

struct Services;

// The introduction shown on the first start: the document "intro.rtf" from the program folder
// and an OK button that leads on to the recipe window.
class FirstRun : public QWidget
{
    Q_OBJECT
public:
    // Created with Qt::WA_DeleteOnClose; OK calls openRecipeWindow, closes this window, writes the first-run flag.
    FirstRun(Services& services, std::function<void()> openRecipeWindow, QWidget* parent = nullptr);

    QPushButton* Command1;
    QTextEdit* RtxtBox;

private:
    void Form_Load();
    void Command1_Click();

    Services& services_;
    std::function<void()> openRecipeWindow_;
};

} // namespace pantrio
