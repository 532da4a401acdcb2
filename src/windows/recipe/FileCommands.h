#pragma once

#include "app/RecipeEdits.h"
#include "exchange/RecipeImport.h"

#include <functional>
#include <QHash>
#include <QObject>
#include <QStringList>

class QEvent;
class QWidget;

namespace pantrio {

struct Services;
class CommandRunner;
class RecipeList;
class RecipeSession;

// The window's collection and files: recipe files dropped on the window, or files and a web
// page chosen in the import dialog, are imported, with a progress dialog whose Cancel takes
// the whole import back and a summary; the export dialog writes the collection, or the rows
// the recipe list shows, into a file; Restore a Backup puts a copy from the backups folder in
// the collection's place.
class FileCommands : public QObject
{
    Q_OBJECT
public:
    FileCommands(QWidget& window, RecipeSession& session, Services& services, CommandRunner& runner,
                 std::function<RecipeEdits()> edits);

    // True when the event was a drag or drop of files, handled here.
    bool take(QEvent* event);
    // Asks for files and a web page to import, then imports them.
    void chooseAndImport();
    // Asks for a format, the recipes and a file, then writes them into it.
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
    // True when everything was imported: nothing refused, not cancelled.
    bool import(const QStringList& files, bool confirm,
                const QHash<QString, exchange::FetchedPage>& pages = {}, QWidget* over = nullptr);
    RecipeList* shownList() const;
    bool confirmImport(const QStringList& files);

    QWidget& window_;
    RecipeSession& session_;
    Services& services_;
    CommandRunner& runner_;
    std::function<RecipeEdits()> edits_;
};

} // namespace pantrio
