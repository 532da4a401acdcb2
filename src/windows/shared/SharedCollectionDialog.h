#pragma once

#include <functional>
#include <QDialog>

class QLabel;
class QLineEdit;

namespace pantrio {

// Asks for the address of a shared collection on a database server and tests it before it is
// taken: OK runs `test`, which returns why the address cannot be used (empty when it can).
class SharedCollectionDialog : public QDialog
{
    Q_OBJECT
public:
    SharedCollectionDialog(const QString& address, std::function<QString(const QString&)> test,
                           QWidget* parent = nullptr);

    QString address() const;

private:
    void tryAddress();

    std::function<QString(const QString&)> test_;
    QLineEdit* addressBox_;
    QLabel* problem_;
};

} // namespace pantrio
