#pragma once

#include "app/RecipeEdits.h"

#include <functional>
#include <QObject>
#include <QStringList>

class QEvent;
class QWidget;

namespace pantrio {

struct Services;
class CommandRunner;
class RecipeSession;

// Recipe files dropped on a window are imported into its collection: after a confirmation,
// with a progress dialog whose Cancel takes the whole import back, and a summary.
class DropImport : public QObject
{
    Q_OBJECT
public:
    DropImport(QWidget& window, RecipeSession& session, Services& services, CommandRunner& runner,
               std::function<RecipeEdits()> edits);

    // True when the event was a drag or drop of files, handled here.
    bool take(QEvent* event);

private:
    void import(const QStringList& files);

    QWidget& window_;
    RecipeSession& session_;
    Services& services_;
    CommandRunner& runner_;
    std::function<RecipeEdits()> edits_;
};

} // namespace pantrio
