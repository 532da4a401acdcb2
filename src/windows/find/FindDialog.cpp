#include "FindDialog.h"

#include "platform/SettingsKeys.h"
#include "windows/WindowUnits.h"

#include <QLineEdit>
#include <QPushButton>

#include <limits>

namespace pantrio {

FindDialog::FindDialog(SettingsStore& settings, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), settings_(settings)
{
    setObjectName(QStringLiteral("frmFind"));
    setWindowTitle(QStringLiteral("Find"));
    setFont(windowFont());
    resize(312, 75);

    searchBox_ = new QLineEdit(this);
    searchBox_->setObjectName(QStringLiteral("txtFind"));
    searchBox_->setMaxLength(std::numeric_limits<int>::max());
    searchBox_->setGeometry(0, 8, 313, 19);
    // No label says what the box is for; a screen reader needs a name all the same.
    searchBox_->setAccessibleName(QStringLiteral("Text to find"));

    auto* findButton = new QPushButton(QStringLiteral("&Find"), this);
    findButton->setObjectName(QStringLiteral("cmdFind"));
    findButton->setGeometry(32, 40, 73, 25);
    findButton->setDefault(true);

    auto* cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cmdCancel"));
    cancelButton->setGeometry(200, 40, 73, 25);

    savedTextBox_ = new QLineEdit(this);
    savedTextBox_->setObjectName(QStringLiteral("txtNext"));
    savedTextBox_->setMaxLength(std::numeric_limits<int>::max());
    savedTextBox_->setGeometry(120, 48, 73, 19);
    savedTextBox_->setAccessibleName(QStringLiteral("Last text found"));
    savedTextBox_->hide();

    setTabOrder(searchBox_, findButton);
    setTabOrder(findButton, cancelButton);
    searchBox_->setFocus();

    connect(findButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &FindDialog::reject);
}

void FindDialog::reject()
{
    searchBox_->clear();
    QDialog::reject();
}

QString FindDialog::GetString()
{
    const QString text = searchBox_->text();
    saveSearchText(settings_, text);
    return text;
}

QString FindDialog::savedSearchText()
{
    savedTextBox_->setText(pantrio::savedSearchText(settings_));
    return savedTextBox_->text();
}

QString FindDialog::savedText(const SettingsStore& settings)
{
    return pantrio::savedSearchText(settings);
}

void FindDialog::forgetSavedText(SettingsStore& settings)
{
    forgetSavedSearch(settings);
}

} // namespace pantrio
