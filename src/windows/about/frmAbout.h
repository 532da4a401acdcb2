#pragma once

#include "platform/Services.h"

#include <QDialog>
#include <QPixmap>
#include <QPointer>

class QLabel;
class QPushButton;

namespace pantrio {

// The program's About window: identity, legal texts and a button for the system's
// information tool. Modeless and deleted when closed.
class frmAbout final : public QDialog
{
    Q_OBJECT

public:
    explicit frmAbout(Services& services, QWidget* parent = nullptr);

    // The About command: creates the window in `slot` if there is none, otherwise brings
    // the existing one forward. Shown without owner and without blocking the caller.
    static frmAbout* showSingle(QPointer<frmAbout>& slot, Services& services);

    void StartSysInfo();

    QLabel* picIcon;
    QLabel* lblTitle;
    QLabel* lblVersion;
    QLabel* lblDescription;
    QLabel* lblDisclaimer;
    QLabel* lblCopyright;
    QPushButton* cmdOK;
    QPushButton* cmdSysInfo;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();

    Services& services_;
    QPixmap background_;
};

} // namespace pantrio
