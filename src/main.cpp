#include "platform/BusyPointer.h"
#include "platform/printer/Printer.h"
#include "platform/sysinfo/QtLauncher.h"
#include "platform/sysinfo/SystemInfoRegistry.h"
#include "platform/MessageBoxes.h"
#include "platform/ProgramInfo.h"
#include "platform/ScreenMetrics.h"
#include "platform/Services.h"
#include "platform/SettingsStore.h"
#include "startup/Startup.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pantrio"));

    using namespace pantrio;
    const ProgramInfo program = ProgramInfo::forThisBuild(QApplication::applicationDirPath());
    IniSettingsStore settings(IniSettingsStore::defaultFolder());
    QtMessageBoxes messages;
    QtScreenMetrics screen;
    QtBusyPointer pointer;
    QtPrinter printer(messages);
    SystemInfoRegistry registry;
    QtLauncher launcher;
    Services services{settings, messages, screen,   pointer,
                      program,  printer,  registry, launcher,
                      [] { QCoreApplication::exit(0); }};

    Startup start(services);
    start.run();
    if (!start.hasOpenWindow())
        return 0;
    return QApplication::exec();
}
