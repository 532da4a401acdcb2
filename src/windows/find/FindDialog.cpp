#include "FindDialog.h"

#include "platform/SettingsKeys.h"
#include "ui/WindowUnits.h"

#include <QLineEdit>
#include <QPushButton>

#include <limits>

namespace pantrio {

FindDialog::FindDialog(SettingsStore& settings, FindScope scope, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), settings_(settings),
      scope_(scope)
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
    if (scope == FindScope::EveryField) {
        // Both searches look alike; only a screen reader can tell this one apart. The box has the
        // focus when the dialog opens, so it says so as well.
        const QString description =
            QStringLiteral("Searches every field of every recipe, ignoring accents and letter case.");
        setAccessibleDescription(description);
        searchBox_->setAccessibleDescription(description);
    }

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
    saveSearchText(settings_, text, savedTextKey(scope_));
    return text;
}

QString FindDialog::savedSearchText()
{
    savedTextBox_->setText(savedText(settings_, scope_));
    return savedTextBox_->text();
}

const SettingsKey& FindDialog::savedTextKey(FindScope scope)
{
    return scope == FindScope::EveryField ? SavedAnywhereSearchKey : SavedSearchKey;
}

QString FindDialog::savedText(const SettingsStore& settings, FindScope scope)
{
    return pantrio::savedSearchText(settings, savedTextKey(scope));
}

void FindDialog::forgetSavedText(SettingsStore& settings)
{
    forgetSavedSearch(settings);
}

} // namespace pantrio
