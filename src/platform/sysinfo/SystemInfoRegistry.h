#pragma once

#include "MemoryRegistry.h"

#include <QStringList>

namespace pantrio {

// Stands in for the platform registry on Linux. It knows one value: the tool's path
// (local machine, ToolPathKey, ToolPathValue), pointing at the first of ToolNames found
// in the search folders; without such a program that key does not exist. The folder
// entry is never present. The search runs on each open, so a tool installed while the
// program runs is found.
class SystemInfoRegistry final : public Registry
{
public:
    static const QStringList ToolNames;

    // Folders of the PATH environment variable.
    static QStringList systemSearchPath();

    explicit SystemInfoRegistry(QStringList searchPath = systemSearchPath());

    int openKey(Key root, const QByteArray& keyPath, quint32 access, Key& opened) override;
    int queryValue(Key key, const QByteArray& valueName, quint32& type, char* data,
                   quint32& dataSize) override;
    int closeKey(Key key) override;

    // The tool's program file, or an empty text when there is none.
    QString findTool() const;

private:
    QStringList searchPath_;
    MemoryRegistry values_;
};

} // namespace pantrio
