#include "RestoreBackupDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

namespace pantrio {

RestoreBackupDialog::RestoreBackupDialog(const QList<BackupCopy>& copies, QWidget* parent)
    : QDialog(parent), copies_(copies), list_(new QListWidget(this))
{
    setObjectName(QStringLiteral("restoreBackupDialog"));
    setWindowTitle(QStringLiteral("Restore a Backup"));
    auto* label = new QLabel(QStringLiteral("&Copies of the recipe file, newest first:"), this);
    label->setBuddy(list_);
    list_->setObjectName(QStringLiteral("backupList"));
    list_->setAccessibleName(QStringLiteral("Copies of the recipe file"));
    const QLocale locale;
    for (const BackupCopy& copy : copies_) {
        const QString count = copy.recipes < 0
                                  ? QStringLiteral("cannot be read")
                                  : QStringLiteral("%1 recipe(s)").arg(locale.toString(copy.recipes));
        list_->addItem(QStringLiteral("%1 (%2)").arg(locale.toString(copy.made, QLocale::LongFormat), count));
    }
    list_->setCurrentRow(0);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    auto* restore = buttons->addButton(QStringLiteral("&Restore"), QDialogButtonBox::AcceptRole);
    restore->setObjectName(QStringLiteral("restoreButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(list_);
    layout->addWidget(buttons);
    resize(480, 320);
}

QString RestoreBackupDialog::chosen() const
{
    const int row = list_->currentRow();
    return row >= 0 && row < copies_.size() ? copies_[row].path : QString();
}

} // namespace pantrio
