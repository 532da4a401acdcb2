#pragma once

#include "app/RecipeEdits.h"

#include <functional>
#include <QString>

class QWidget;

namespace pantrio {

struct Services;
class CommandRunner;
class RecipeSession;

// Moves the window between the collection file on this computer and a household's shared
// collection on a database server. The server's address is remembered (without a password)
// for the next start; the file again once the user goes back to it.
class SharedCollectionCommands
{
public:
    SharedCollectionCommands(QWidget& window, RecipeSession& session, Services& services,
                             CommandRunner& runner, std::function<RecipeEdits()> edits);

    void chooseShared(); // asks for the address, tests it, then opens it
    void useLocal();

private:
    // Opens `location` in the window's session, edits saved first; back to where it was when
    // it fails. True when it opened.
    bool switchTo(const QString& location);

    QWidget& window_;
    RecipeSession& session_;
    Services& services_;
    CommandRunner& runner_;
    std::function<RecipeEdits()> edits_;
    QString current_;
};

} // namespace pantrio
