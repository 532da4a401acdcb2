#pragma once

#include "app/BackupRestore.h"

#include <QDialog>

class QListWidget;

namespace pantrio {

// The copies in the backups folder, newest first, with their recipe counts: the one chosen is
// what Restore puts in place of the collection.
class RestoreBackupDialog : public QDialog
{
    Q_OBJECT
public:
    RestoreBackupDialog(const QList<BackupCopy>& copies, QWidget* parent = nullptr);

    // Of the copy chosen; empty when none is.
    QString chosen() const;

private:
    QList<BackupCopy> copies_;
    QListWidget* list_;
};

} // namespace pantrio
