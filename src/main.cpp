#include "platform/BusyPointer.h"
#include "platform/CollectionLocation.h"
#include "platform/MessageBoxes.h"
#include "platform/printer/Printer.h"
#include "platform/ProgramInfo.h"
#include "platform/ScreenMetrics.h"
#include "platform/Services.h"
#include "platform/SettingsKeys.h"
#include "platform/SettingsStore.h"
#include "platform/sysinfo/QtLauncher.h"
#include "platform/sysinfo/SystemInfoRegistry.h"
#include "startup/FirstPositionReport.h"
#include "startup/Startup.h"
#include "store/CollectionAddress.h"

#include <cstdio>
#include <QApplication>
#include <QDir>
#include <QFileInfo>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pantrio"));
    QGuiApplication::setDesktopFileName(QStringLiteral(PANTRIO_APP_ID));

    using namespace pantrio;
    ProgramInfo program = ProgramInfo::forThisBuild(QApplication::applicationDirPath());
    const QString installedData = QDir(program.folder).filePath(QStringLiteral(PANTRIO_INSTALLED_DATA));
    const CollectionFolders folders{program.folder, userDataFolder(), QDir::cleanPath(installedData)};
    const CollectionLocation location = CollectionLocation::choose(folders, folderIsWritable);
    // A failed copy shows as the recipe window's own "cannot open" message.
    location.provideSample();
    program.collectionFile = location.collection;
    program.introductionFile = location.introduction;
    // $XDG_DATA_HOME/Pantrio/backups, by default ~/.local/share/Pantrio/backups
    program.backupFolder = QDir(userDataFolder()).filePath(QStringLiteral("backups"));
    IniSettingsStore settings(IniSettingsStore::defaultFolder());
    // --collection LOCATION: a file, or a database server's address, for this start only;
    // without it, the shared collection the user chose last, if any.
    const QStringList args = QCoreApplication::arguments();
    const qsizetype given = args.indexOf(QStringLiteral("--collection"));
    if (given > 0 && given + 1 >= args.size()) {
        std::fputs("pantrio: --collection needs a file or a database server's address.\n", stderr);
        return 2;
    }
    const QString asked = given > 0 ? args[given + 1] : QString();
    if (!asked.isEmpty() && !isServerAddress(asked))
        program.collectionFile = QFileInfo(asked).absoluteFilePath();
    else if (!asked.isEmpty())
        program.sharedCollection = asked;
    else
        program.sharedCollection =
            settings.read(SharedCollectionKey.app, SharedCollectionKey.section, SharedCollectionKey.name);
    QtMessageBoxes messages;
    QtScreenMetrics screen;
    QtBusyPointer pointer;
    QtPrinter printer(messages);
    SystemInfoRegistry registry;
    QtLauncher launcher;
    Services services{settings, messages, screen,
                      pointer,  program,  printer,
                      registry, launcher, [] { QCoreApplication::exit(0); }};

    FirstPositionReport firstPosition;
    if (qEnvironmentVariableIsSet("PANTRIO_REPORT_FIRST_POSITION"))
        app.installEventFilter(&firstPosition);

    Startup start(services);
    start.run();
    if (!start.hasOpenWindow())
        return 0;
    return QApplication::exec();
}
