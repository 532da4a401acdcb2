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
class AboutWindow final : public QDialog
{
    Q_OBJECT

public:
    explicit AboutWindow(Services& services, QWidget* parent = nullptr);

    // The About command: creates the window in `slot` if there is none, otherwise brings
    // the existing one forward. Shown without owner and without blocking the caller.
    static AboutWindow* showSingle(QPointer<AboutWindow>& slot, Services& services);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void showIdentity();
    void startSystemInfo();

    Services& services_;
    QPixmap background_;
    QPushButton* okButton_;
    QPushButton* systemInfoButton_;
    QLabel* iconView_;
    QLabel* titleLabel_;
    QLabel* versionLabel_;
    QLabel* descriptionLabel_;
    QLabel* disclaimerLabel_;
    QLabel* copyrightLabel_;
};

} // namespace pantrio
