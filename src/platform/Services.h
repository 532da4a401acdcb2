#pragma once

#include <functional>

namespace pantrio {

class SettingsStore;
class MessageBoxes;
class ScreenMetrics;
class BusyPointer;
struct ProgramInfo;
class Printer;
class Registry;
class Launcher;

// The platform services a window needs, handed down through constructors so that
// tests can run every window with fakes and a temporary program folder.
struct Services
{
    SettingsStore& settings;
    MessageBoxes& messages;
    ScreenMetrics& screen;
    BusyPointer& pointer;
    const ProgramInfo& program;
    Printer& printer;
    Registry& registry;
    Launcher& launcher;
    // Ends the program at once; windows still open are discarded.
    std::function<void()> endProgram;
};

} // namespace pantrio
