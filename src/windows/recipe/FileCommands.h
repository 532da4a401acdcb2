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

// The window's collection and files: recipe files dropped on the window or chosen with Import
// Recipes are imported, with a progress dialog whose Cancel takes the whole import back and a
// summary; Export Recipes writes the collection into a file; Restore a Backup puts a copy from
// the backups folder in the collection's place.
class FileCommands : public QObject
{
    Q_OBJECT
public:
    FileCommands(QWidget& window, RecipeSession& session, Services& services, CommandRunner& runner,
                 std::function<RecipeEdits()> edits);

    // True when the event was a drag or drop of files, handled here.
    bool take(QEvent* event);
    // Asks for files to import, then imports them.
    void chooseAndImport();
    // Asks for a file and its format, then writes every recipe into it.
    void chooseAndExport();
    // Lists the copies in the backups folder; the one chosen takes the collection's place.
    void chooseAndRestore();

    enum class Conversion {
        NotChosen, // not an older collection, or the user would not convert it
        Done,      // converted in place: the collection can be opened
        NotDone,   // failed or cancelled; the user has been told
    };
    // The earlier version kept the collection in a Microsoft Access file: offers to convert it.
    Conversion offerConversion(const QString& path);

private:
    bool requireOpen();
    void import(const QStringList& files, bool confirm);
    bool confirmImport(const QStringList& files);

    QWidget& window_;
    RecipeSession& session_;
    Services& services_;
    CommandRunner& runner_;
    std::function<RecipeEdits()> edits_;
};

} // namespace pantrio
