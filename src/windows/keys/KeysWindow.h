#pragma once

#include <QDialog>

namespace pantrio {

// Every key of the program, with what it does: where a cook learns the keys that have no button.
class KeysWindow : public QDialog
{
    Q_OBJECT
public:
    explicit KeysWindow(QWidget* parent = nullptr);
};

} // namespace pantrio
