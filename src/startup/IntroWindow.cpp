#include "IntroWindow.h"

#include "platform/ProgramInfo.h"
#include "platform/Services.h"
#include "platform/SettingsKeys.h"
#include "platform/richtext/RtfReader.h"
#include "windows/WindowUnits.h"

#include <QPushButton>
#include <QTextEdit>

namespace pantrio {

IntroWindow::IntroWindow(Services& services, std::function<void()> openRecipeWindow, QWidget* parent)
    : QWidget(parent),
      okButton_(new QPushButton(QStringLiteral("OK"), this)),
      documentView_(new QTextEdit(this)),
      services_(services),
      openRecipeWindow_(std::move(openRecipeWindow))
{
    setObjectName(QStringLiteral("FirstRun"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Form1"));
    setFont(windowFont());
    resize(twipsToPixels(QSize(6975, 3210)));

    okButton_->setObjectName(QStringLiteral("Command1"));
    okButton_->setGeometry(Twips{2880, 2820, 1215, 375}.toPixels());
    // Outside a dialog a focused button ignores Enter unless it is auto-default.
    okButton_->setAutoDefault(true);
    connect(okButton_, &QPushButton::clicked, this, &IntroWindow::accept);

    documentView_->setObjectName(QStringLiteral("RtxtBox"));
    documentView_->setGeometry(Twips{0, 0, 6975, 2775}.toPixels());
    documentView_->setAccessibleName(QStringLiteral("Introduction"));
    documentView_->setReadOnly(true); // nothing typed there would ever be kept
    documentView_->setPlainText(QStringLiteral("RichTextBox1"));

    setTabOrder(okButton_, documentView_);
    okButton_->setFocus();

    loadDocument();
}

void IntroWindow::loadDocument()
{
    // A missing or unreadable document leaves the box empty; OK still leads on.
    RtfReader::readFile(services_.program.introductionPath(), *documentView_->document());
    documentView_->moveCursor(QTextCursor::Start);
}

void IntroWindow::accept()
{
    // close() destroys this window (later, via deleteLater), so keep what is still needed.
    SettingsStore& settings = services_.settings;
    openRecipeWindow_();
    close();
    setFirstRunFlag(settings);
}

} // namespace pantrio
