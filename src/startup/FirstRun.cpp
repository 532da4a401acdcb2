#include "FirstRun.h"

#include "platform/ProgramInfo.h"
#include "platform/Services.h"
#include "platform/SettingsStore.h"
#include "platform/richtext/RtfReader.h"

#include <QPushButton>
#include <QTextEdit>

namespace pantrio {

namespace {

// Layout measures are kept in twips, as designed; 15 twips make a pixel.
QRect twips(int left, int top, int width, int height)
{
    return {left / 15, top / 15, width / 15, height / 15};
}

} // namespace

FirstRun::FirstRun(Services& services, std::function<void()> openRecipeWindow, QWidget* parent)
    : QWidget(parent),
      Command1(new QPushButton(QStringLiteral("OK"), this)),
      RtxtBox(new QTextEdit(this)),
      services_(services),
      openRecipeWindow_(std::move(openRecipeWindow))
{
    setObjectName(QStringLiteral("FirstRun"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Form1"));
    // Liberation Sans is metric-compatible with the sans-serif the layout was drawn for.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPointSizeF(8.25);
    setFont(font);
    resize(twips(0, 0, 6975, 3210).size());

    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(twips(2880, 2820, 1215, 375));
    // Outside a dialog a focused button ignores Enter unless it is auto-default.
    Command1->setAutoDefault(true);
    connect(Command1, &QPushButton::clicked, this, &FirstRun::Command1_Click);

    RtxtBox->setObjectName(QStringLiteral("RtxtBox"));
    RtxtBox->setGeometry(twips(0, 0, 6975, 2775));
    RtxtBox->setReadOnly(true); // nothing typed there would ever be kept
    RtxtBox->setPlainText(QStringLiteral("RichTextBox1"));

    setTabOrder(Command1, RtxtBox);
    Command1->setFocus();

    Form_Load();
}

void FirstRun::Form_Load()
{
    // A missing or unreadable document leaves the box empty; OK still leads on.
    RtfReader::readFile(services_.program.pathOf(QStringLiteral("intro.rtf")), *RtxtBox->document());
    RtxtBox->moveCursor(QTextCursor::Start);
}

void FirstRun::Command1_Click()
{
    // close() destroys this window (later, via deleteLater), so keep what is still needed.
    SettingsStore& settings = services_.settings;
    openRecipeWindow_();
    close();
    settings.write(QStringLiteral("DezoruDozazor"), QStringLiteral("Counts"), QStringLiteral("FirstTime"),
                   QStringLiteral("1"));
}

} // namespace pantrio
