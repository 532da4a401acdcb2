#pragma once

#include "platform/Registry.h"

#include <QString>

namespace pantrio {

class Launcher;
class MessageBoxes;

// Where the system-information tool is registered: the full path of its program file
// first, else the folder that holds ToolFile.
inline constexpr char ToolPathKey[] = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline constexpr char ToolPathValue[] = "PATH";
inline constexpr char ToolFolderKey[] = "SOFTWARE\\Microsoft\\Shared Tools Location";
inline constexpr char ToolFolderValue[] = "MSINFO";
inline constexpr char ToolFile[] = "MSINFO32.EXE";

inline constexpr quint32 KeyAccess = 0x2003F;
inline constexpr quint32 ValueBufferSize = 1024;

// Reads one value as text; texts are in the local 8-bit encoding. A number shows in
// decimal; a value of another type is read but leaves `valueText` as it was. A value that
// is missing, larger than ValueBufferSize or empty yields false and an empty text.
bool GetKeyValue(Registry& registry, Registry::Key root, const QString& keyPath, const QString& valueName,
                 QString& valueText);

// Starts the system-information tool, or tells the user it is unavailable under `title`.
void StartSysInfo(Registry& registry, Launcher& launcher, MessageBoxes& messages, const QString& title);

inline constexpr char SysInfoUnavailable[] = "System Information Is Unavailable At This Time";

} // namespace pantrio
