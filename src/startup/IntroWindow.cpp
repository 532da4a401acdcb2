#include "IntroWindow.h"

#include "platform/ProgramInfo.h"
#include "platform/Services.h"
#include "platform/SettingsKeys.h"
#include "platform/richtext/RtfReader.h"
#include "ui/LongText.h"
#include "ui/WindowUnits.h"

#include <QFile>
#include <QPushButton>
#include <QTextDocument>
#include <QTextEdit>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pantrio {

namespace {

// Far beyond any real introduction, yet small enough to lay out at once.
constexpr qint64 MaxIntroBytes = 1024 * 1024;

enum class IntroRead { Read, Unreadable, TooLarge };

// Reads only a regular file, never waiting on a pipe or device that shares the name.
IntroRead readIntro(const QString& path, QByteArray& rtf)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return IntroRead::Unreadable;
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return IntroRead::Unreadable;
    }
    struct stat info{};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return IntroRead::Unreadable;
    if (info.st_size > MaxIntroBytes)
        return IntroRead::TooLarge;
    rtf = file.read(MaxIntroBytes + 1); // it may have grown since
    return rtf.size() > MaxIntroBytes ? IntroRead::TooLarge : IntroRead::Read;
}

} // namespace

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
    QByteArray rtf;
    switch (readIntro(services_.program.introductionPath(), rtf)) {
    case IntroRead::Read:
        if (rtf.size() > 10000) { // it may hold an unbroken run that word wrapping lays out for ages
            QTextDocument probe;
            RtfReader::read(rtf, probe);
            documentView_->setWordWrapMode(wrapModeFor(probe.toPlainText()));
        }
        RtfReader::read(rtf, *documentView_->document());
        break;
    case IntroRead::Unreadable: documentView_->clear(); break;
    case IntroRead::TooLarge:
        documentView_->setPlainText(QStringLiteral("The introduction is not shown: the file intro.rtf is "
                                                   "larger than 1 MB. Click OK to go on to your recipes."));
        break;
    }
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
