#pragma once

#include <QWidget>

#include <functional>

class QPushButton;
class QTextEdit;

namespace pantrio {

struct Services;

// The introduction shown on the first start: the document "intro.rtf" from the program folder
// and an OK button that leads on to the recipe window.
class IntroWindow : public QWidget
{
    Q_OBJECT
public:
    // Created with Qt::WA_DeleteOnClose; OK calls openRecipeWindow, closes this window, writes the first-run flag.
    IntroWindow(Services& services, std::function<void()> openRecipeWindow, QWidget* parent = nullptr);

private:
    void loadDocument();
    void accept();

    QPushButton* okButton_;
    QTextEdit* documentView_;
    Services& services_;
    std::function<void()> openRecipeWindow_;
};

} // namespace pantrio
