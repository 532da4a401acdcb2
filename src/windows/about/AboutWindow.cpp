#include "AboutWindow.h"

#include "platform/ProgramInfo.h"
#include "platform/sysinfo/SysInfo.h"
#include "ui/WindowUnits.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace pantrio {

namespace {

QRect twips(int left, int top, int width, int height)
{
    return Twips{left, top, width, height}.toPixels();
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

AboutWindow::AboutWindow(Services& services, QWidget* parent)
    // A tool window stays out of the task bar (utility type on X11, tool window on
    // Windows); the hints leave a title and a close button, nothing to minimise or maximise.
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , services_(services)
    , background_(QStringLiteral(":/seasky.jpg"))
{
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(windowFont());
    setFixedSize(twipsToPixels(QSize(5760, 4230)));

    // Created in tab order, which is also the focus chain.
    okButton_ = new QPushButton(QStringLiteral("OK"), this);
    okButton_->setObjectName(QStringLiteral("cmdOK"));
    okButton_->setGeometry(twips(4440, 2760, 1260, 345));
    okButton_->setDefault(true);

    iconView_ = makeLabel(this, "picIcon", twips(240, 240, 540, 540));
    iconView_->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    iconView_->setAutoFillBackground(true);
    iconView_->setFocusPolicy(Qt::StrongFocus);
    iconView_->setAccessibleName(QStringLiteral("Pantrio icon")); // it takes the focus, so it is announced
    QPixmap icon(QStringLiteral(":/pantrio32.ico"));
    // On a high-density screen the pot comes from its picture of twice the size, drawn at half.
    if (devicePixelRatio() >= 2) {
        QPixmap sharp(QStringLiteral(":/pantrio-64.png"));
        sharp.setDevicePixelRatio(2);
        if (!sharp.isNull())
            icon = sharp;
    }
    if (!icon.isNull()) {
        iconView_->setPixmap(icon);
        const int frame = 2 * iconView_->frameWidth();
        const QSize size = icon.deviceIndependentSize().toSize();
        iconView_->resize(size.width() + frame, size.height() + frame);
    }

    systemInfoButton_ = new QPushButton(QStringLiteral("&System Info..."), this);
    systemInfoButton_->setObjectName(QStringLiteral("cmdSysInfo"));
    systemInfoButton_->setGeometry(twips(4440, 3240, 1245, 345));

    setTabOrder(okButton_, iconView_);
    setTabOrder(iconView_, systemInfoButton_);
    okButton_->setFocus();

    titleLabel_ = makeLabel(this, "lblTitle", twips(1050, 240, 3885, 480));
    titleLabel_->setFont(serifTextFont());
    setTextColour(titleLabel_, Qt::black);

    versionLabel_ = makeLabel(this, "lblVersion", twips(1050, 780, 3885, 225));
    versionLabel_->setFont(serifTextFont());

    descriptionLabel_ = makeLabel(this, "lblDescription", twips(1050, 1125, 3885, 1170));
    descriptionLabel_->setFont(serifTextFont());
    descriptionLabel_->setWordWrap(true);
    setTextColour(descriptionLabel_, Qt::black);

    disclaimerLabel_ = makeLabel(this, "lblDisclaimer", twips(120, 2520, 4230, 1305));
    disclaimerLabel_->setFont(serifTextFont());
    disclaimerLabel_->setWordWrap(true);
    setTextColour(disclaimerLabel_, Qt::black);
    disclaimerLabel_->setText(QStringLiteral(
        "Warning: this program is protected by copyright law. Copying or distributing it, in whole or "
        "in part, without the written permission of Veltrane Software is prohibited and may lead to "
        "civil and criminal prosecution."));

    copyrightLabel_ = makeLabel(this, "lblCopyright", twips(120, 3960, 4215, 255));
    setTextColour(copyrightLabel_, CopyrightBlue);

    connect(okButton_, &QPushButton::clicked, this, &AboutWindow::close);
    connect(systemInfoButton_, &QPushButton::clicked, this, &AboutWindow::startSystemInfo);

    showIdentity();
    // Not moved here: a parentless dialog that was never moved centres itself on its
    // screen when shown, with the frame the window manager adds taken into account.
}

AboutWindow* AboutWindow::showSingle(QPointer<AboutWindow>& slot, Services& services)
{
    if (!slot)
        slot = new AboutWindow(services);
    slot->show();
    slot->raise();
    slot->activateWindow();
    return slot;
}

void AboutWindow::showIdentity()
{
    const ProgramInfo& program = services_.program;
    setWindowTitle(QStringLiteral("About ") + program.title);
    versionLabel_->setText(QStringLiteral("Version %1.%2.%3").arg(program.major).arg(program.minor).arg(program.revision));
    titleLabel_->setText(program.title);
    descriptionLabel_->setText(program.description);
    copyrightLabel_->setText(program.legalNotice);
}

void AboutWindow::startSystemInfo()
{
    pantrio::StartSysInfo(services_.registry, services_.launcher, services_.messages, services_.program.title);
}

void AboutWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, background_);
    // Etched separator: a one-pixel shadow with a two-pixel highlight just under it.
    const int right = twipsToPixels(5654);
    const int shadowY = twipsToPixels(2445);
    const int highlightY = twipsToPixels(2460);
    painter.fillRect(QRect(QPoint(twipsToPixels(90), shadowY), QPoint(right - 1, shadowY)), EtchShadow);
    painter.fillRect(QRect(QPoint(twipsToPixels(105), highlightY), QPoint(right - 1, highlightY + 1)), Qt::white);
}

} // namespace pantrio
