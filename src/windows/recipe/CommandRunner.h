#pragma once

#include <functional>
#include <QString>

namespace pantrio {

struct Services;
class RecipeSession;
class StoreError;
enum class MessageIcon;

// Runs the recipe window's commands on the session: the busy pointer while one works, and
// when the file refuses it, a message; when an edit could not be saved, the user's choice
// of a way on, after which the command is tried again.
class CommandRunner
{
public:
    // What a command does to the current recipe's edit before it goes on.
    enum class Attempt {
        Save,  // saves it and stays
        Move,  // saves it and moves (or acts on the file)
        Close, // saves it and ends the program
    };

    // `showPosition` draws the record bar again after a refusal.
    CommandRunner(RecipeSession& session, Services& services, std::function<void()> showPosition);

    // False when the command did not complete; the user has been told why.
    bool run(const std::function<void()>& command, Attempt attempt = Attempt::Move);

    void tell(const QString& text, MessageIcon icon);
    bool ask(const QString& question);

private:
    bool offerWayOn(const StoreError& error, Attempt attempt); // true: try the command again
    void reportFailure(const QString& message);

    RecipeSession& session_;
    Services& services_;
    std::function<void()> showPosition_;
};

} // namespace pantrio
