#include "CommandRunner.h"

#include "app/RecipeSession.h"
#include "platform/BusyPointer.h"
#include "platform/MessageBoxes.h"
#include "platform/ProgramInfo.h"
#include "platform/Services.h"
#include "store/StoreError.h"

namespace pantrio {

CommandRunner::CommandRunner(RecipeSession& session, Services& services, std::function<void()> showPosition)
    : session_(session), services_(services), showPosition_(std::move(showPosition))
{}

void CommandRunner::tell(const QString& text, MessageIcon icon)
{
    services_.messages.show(text, services_.program.title, icon);
}

bool CommandRunner::ask(const QString& question)
{
    return services_.messages.show(question, services_.program.title, MessageIcon::Exclamation,
                                   MessageButtons::OkCancel) == MessageAnswer::Ok;
}

bool CommandRunner::run(const std::function<void()>& command, Attempt attempt)
{
    bool done = false;
    for (bool again = true; again && !done;) {
        try {
            services_.pointer.setBusy(true);
            command();
            done = true;
        } catch (const StoreError& e) {
            again = offerWayOn(e, attempt);
        }
    }
    services_.pointer.setBusy(false);
    return done;
}

bool CommandRunner::offerWayOn(const StoreError& error, Attempt attempt)
{
    services_.pointer.setBusy(false);
    if (!session_.hasPendingChanges() ||
        (attempt == Attempt::Save && error.kind() != StoreError::Kind::ChangedByOther)) {
        reportFailure(error.message());
        return false;
    }
    if (error.kind() == StoreError::Kind::ChangedByOther) {
        if (ask(error.message() +
                QStringLiteral("\n\nPress OK to save your changes over theirs, or Cancel to "
                               "drop your changes and keep theirs.")))
            session_.keepMine();
        else
            session_.takeTheirs();
        return true;
    }
    const QString question =
        attempt == Attempt::Close
            ? QStringLiteral("\n\nClose without saving?")
            : QStringLiteral(
                  "\n\nWhat you typed is still in the window and has not been saved yet. Press OK to keep "
                  "it and stay, or Cancel to discard it and go on.");
    // Closing offers to end without the edit; a move offers to stay with it.
    const bool ok = ask(error.message() + question);
    if (attempt == Attempt::Close ? !ok : ok) {
        showPosition_();
        return false;
    }
    session_.discardChanges();
    return true;
}

void CommandRunner::reportFailure(const QString& message)
{
    services_.pointer.setBusy(false);
    QString text = message;
    if (session_.hasPendingChanges())
        text += QStringLiteral("\n\nWhat you typed is still in the window and has not been saved yet.");
    tell(text, MessageIcon::Exclamation);
    showPosition_();
}

} // namespace pantrio
