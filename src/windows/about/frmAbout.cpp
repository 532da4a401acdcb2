#include "frmAbout.h"

#include "platform/ProgramInfo.h"
#include "platform/sysinfo/SysInfo.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace pantrio {

namespace {

// Layout is in twips; a logical pixel is 15 of them.
int px(int twips)
{
    return qRound(twips / 15.0);
}

QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

QFont textFont()
{
    QFont font(QStringLiteral("Liberation Serif"));
    font.setPointSizeF(9.75);
    return font;
}

// Metric-compatible stand-in for the classic dialog face.
QFont windowFont()
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPointSizeF(8.25);
    return font;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QRect& geometry)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

void setTextColour(QLabel* label, const QColor& colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

const QColor CopyrightBlue(0, 0, 192);
const QColor EtchShadow(128, 128, 128);

} // namespace

frmAbout::frmAbout(Services& services, QWidget* parent)
    // A tool window stays out of the task bar (utility type on X11, tool window on
    // Windows); the hints leave a title and a close button, nothing to minimise or maximise.
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , services_(services)
    , background_(QStringLiteral(":/seasky.jpg"))
{
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(windowFont());
    setFixedSize(px(5760), px(4230));

    // Created in tab order, which is also the focus chain.
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(twipsRect(4440, 2760, 1260, 345));
    cmdOK->setDefault(true);

    picIcon = makeLabel(this, "picIcon", twipsRect(240, 240, 540, 540));
    picIcon->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    picIcon->setAutoFillBackground(true);
    picIcon->setFocusPolicy(Qt::StrongFocus);
    const QPixmap icon(QStringLiteral(":/pantrio32.ico"));
    if (!icon.isNull()) {
        picIcon->setPixmap(icon);
        const int frame = 2 * picIcon->frameWidth();
        picIcon->resize(icon.width() + frame, icon.height() + frame);
    }

    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo->setGeometry(twipsRect(4440, 3240, 1245, 345));

    setTabOrder(cmdOK, picIcon);
    setTabOrder(picIcon, cmdSysInfo);
    cmdOK->setFocus();

    lblTitle = makeLabel(this, "lblTitle", twipsRect(1050, 240, 3885, 480));
    lblTitle->setFont(textFont());
    setTextColour(lblTitle, Qt::black);

    lblVersion = makeLabel(this, "lblVersion", twipsRect(1050, 780, 3885, 225));
    lblVersion->setFont(textFont());

    lblDescription = makeLabel(this, "lblDescription", twipsRect(1050, 1125, 3885, 1170));
    lblDescription->setFont(textFont());
    lblDescription->setWordWrap(true);
    setTextColour(lblDescription, Qt::black);

    lblDisclaimer = makeLabel(this, "lblDisclaimer", twipsRect(120, 2520, 4230, 1305));
    lblDisclaimer->setFont(textFont());
    lblDisclaimer->setWordWrap(true);
    setTextColour(lblDisclaimer, Qt::black);
    lblDisclaimer->setText(QStringLiteral(
        "Warning: this program is protected by copyright law. Copying or distributing it, in whole or "
        "in part, without the written permission of Veltrane Software is prohibited and may lead to "
        "civil and criminal prosecution."));

    lblCopyright = makeLabel(this, "lblCopyright", twipsRect(120, 3960, 4215, 255));
    setTextColour(lblCopyright, CopyrightBlue);

    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);

    Form_Load();
    // Not moved here: a parentless dialog that was never moved centres itself on its
    // screen when shown, with the frame the window manager adds taken into account.
}

frmAbout* frmAbout::showSingle(QPointer<frmAbout>& slot, Services& services)
{
    if (!slot)
        slot = new frmAbout(services);
    slot->show();
    slot->raise();
    slot->activateWindow();
    return slot;
}

void frmAbout::Form_Load()
{
    const ProgramInfo& program = services_.program;
    setWindowTitle(QStringLiteral("About ") + program.title);
    lblVersion->setText(QStringLiteral("Version %1.%2.%3").arg(program.major).arg(program.minor).arg(program.revision));
    lblTitle->setText(program.title);
    lblDescription->setText(program.description);
    lblCopyright->setText(program.legalNotice);
}

void frmAbout::cmdOK_Click()
{
    close();
}

void frmAbout::cmdSysInfo_Click()
{
    StartSysInfo();
}

void frmAbout::StartSysInfo()
{
    pantrio::StartSysInfo(services_.registry, services_.launcher, services_.messages, services_.program.title);
}

void frmAbout::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, background_);
    // Etched separator: a one-pixel shadow with a two-pixel highlight just under it.
    const int right = px(5654);
    painter.fillRect(QRect(QPoint(px(90), px(2445)), QPoint(right - 1, px(2445))), EtchShadow);
    painter.fillRect(QRect(QPoint(px(105), px(2460)), QPoint(right - 1, px(2460) + 1)), Qt::white);
}

} // namespace pantrio
