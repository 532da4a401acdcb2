#include "SharedCollectionDialog.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace pantrio {

SharedCollectionDialog::SharedCollectionDialog(const QString& address,
                                               std::function<QString(const QString&)> test, QWidget* parent)
    : QDialog(parent), test_(std::move(test))
{
    setObjectName(QStringLiteral("sharedCollectionDialog"));
    setWindowTitle(QStringLiteral("Use a Shared Collection"));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(
        QStringLiteral("The address of the household's collection on a PostgreSQL server, for example\n"
                       "postgresql://pantry.local/recipes?user=ann\n\n"
                       "A password does not belong here: put it in the file .pgpass in your home folder."),
        this);
    intro->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(intro);
    addressBox_ = new QLineEdit(address, this);
    addressBox_->setObjectName(QStringLiteral("addressBox"));
    addressBox_->setMinimumWidth(420);
    layout->addWidget(addressBox_);
    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("problemLabel"));
    problem_->setWordWrap(true);
    problem_->hide();
    layout->addWidget(problem_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &SharedCollectionDialog::tryAddress);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QString SharedCollectionDialog::address() const
{
    return addressBox_->text().trimmed();
}

void SharedCollectionDialog::tryAddress()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const QString problem =
        address().isEmpty() ? QStringLiteral("Type the address of the collection.") : test_(address());
    QGuiApplication::restoreOverrideCursor();
    if (problem.isEmpty()) {
        accept();
        return;
    }
    problem_->setText(problem);
    problem_->show();
    addressBox_->setFocus();
}

} // namespace pantrio
