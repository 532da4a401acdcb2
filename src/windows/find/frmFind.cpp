#include "frmFind.h"

#include "platform/SettingsStore.h"

#include <QLineEdit>
#include <QPushButton>

namespace pantrio {

namespace {
const QString App = QStringLiteral("Pantrio");
const QString Section = QStringLiteral("Find Next");
const QString Key = QStringLiteral("Find");
} // namespace

frmFind::frmFind(SettingsStore& settings, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), settings_(settings)
{
    setObjectName(QStringLiteral("frmFind"));
    setWindowTitle(QStringLiteral("Find"));
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPointSizeF(8.25);
    setFont(font);
    resize(312, 75);

    txtFind = new QLineEdit(this);
    txtFind->setObjectName(QStringLiteral("txtFind"));
    txtFind->setGeometry(0, 8, 313, 19);

    cmdFind = new QPushButton(QStringLiteral("&Find"), this);
    cmdFind->setObjectName(QStringLiteral("cmdFind"));
    cmdFind->setGeometry(32, 40, 73, 25);
    cmdFind->setDefault(true);

    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setGeometry(200, 40, 73, 25);

    txtNext = new QLineEdit(this);
    txtNext->setObjectName(QStringLiteral("txtNext"));
    txtNext->setGeometry(120, 48, 73, 19);
    txtNext->hide();

    setTabOrder(txtFind, cmdFind);
    setTabOrder(cmdFind, cmdCancel);
    txtFind->setFocus();

    connect(cmdFind, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdCancel, &QPushButton::clicked, this, &frmFind::reject);
}

void frmFind::reject()
{
    txtFind->clear();
    QDialog::reject();
}

QString frmFind::GetString()
{
    const QString text = txtFind->text();
    settings_.write(App, Section, Key, text);
    return text;
}

QString frmFind::FindNext()
{
    txtNext->setText(savedText(settings_));
    return txtNext->text();
}

QString frmFind::savedText(const SettingsStore& settings)
{
    return settings.read(App, Section, Key);
}

void frmFind::forgetSavedText(SettingsStore& settings)
{
    settings.deleteSection(App, Section);
}

} // namespace pantrio
