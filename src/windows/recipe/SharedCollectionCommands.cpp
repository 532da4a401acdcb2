#include "SharedCollectionCommands.h"

#include "app/RecipeSession.h"
#include "CommandRunner.h"
#include "platform/MessageBoxes.h"
#include "platform/ProgramInfo.h"
#include "platform/Services.h"
#include "platform/SettingsKeys.h"
#include "platform/SettingsStore.h"
#include "store/CollectionAddress.h"
#include "store/RecordCursor.h"
#include "store/StoreError.h"
#include "windows/shared/SharedCollectionDialog.h"

namespace pantrio {

SharedCollectionCommands::SharedCollectionCommands(QWidget& window, RecipeSession& session,
                                                   Services& services, CommandRunner& runner,
                                                   std::function<RecipeEdits()> edits)
    : window_(window), session_(session), services_(services), runner_(runner), edits_(std::move(edits)),
      current_(services.program.collectionLocation())
{}

void SharedCollectionCommands::chooseShared()
{
    const SettingsKey& key = SharedCollectionKey;
    QString remembered = services_.settings.read(key.app, key.section, key.name);
    if (remembered.isEmpty() && isServerAddress(current_))
        remembered = withoutPassword(current_);
    const auto test = [](const QString& address) -> QString {
        if (!isServerAddress(address))
            return QStringLiteral("That is not the address of a database server: it begins with "
                                  "postgresql:// (or is written as host=... dbname=...).");
        try {
            // Makes the collection in an empty database, or checks the one there.
            RecordCursor::open(address, {OpenMode::Shared, 2000});
            return {};
        } catch (const StoreError& e) {
            return e.message();
        }
    };
    SharedCollectionDialog dialog(remembered, test, &window_);
    if (dialog.exec() != QDialog::Accepted || !switchTo(dialog.address()))
        return;
    if (!services_.settings.write(key.app, key.section, key.name, withoutPassword(dialog.address())))
        runner_.tell(
            QStringLiteral("Pantrio uses the shared collection now, but could not remember it for the "
                           "next start."),
            MessageIcon::Exclamation);
}

void SharedCollectionCommands::useLocal()
{
    if (!isServerAddress(current_) || !switchTo(services_.program.collectionPath()))
        return;
    services_.settings.deleteSection(SharedCollectionKey.app, SharedCollectionKey.section);
}

bool SharedCollectionCommands::switchTo(const QString& location)
{
    if (session_.isOpen() && !runner_.run([&] { session_.close(edits_()); }))
        return false;
    if (!session_.open(location)) {
        const QString problem = session_.openError();
        if (!session_.open(current_))
            runner_.tell(problem + QStringLiteral("\n\n") + session_.openError(), MessageIcon::Exclamation);
        else
            runner_.tell(problem, MessageIcon::Exclamation);
        session_.startBackgroundWork();
        return false;
    }
    current_ = location;
    session_.startBackgroundWork();
    return true;
}

} // namespace pantrio
