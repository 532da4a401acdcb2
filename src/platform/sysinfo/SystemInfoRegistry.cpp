#include "SystemInfoRegistry.h"

#include "SysInfo.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace pantrio {

const QStringList SystemInfoRegistry::ToolNames{
    QStringLiteral("hardinfo"), QStringLiteral("kinfocenter"), QStringLiteral("lshw-gtk")};

QStringList SystemInfoRegistry::systemSearchPath()
{
    return qEnvironmentVariable("PATH").split(QDir::listSeparator(), Qt::SkipEmptyParts);
}

SystemInfoRegistry::SystemInfoRegistry(QStringList searchPath) : searchPath_(std::move(searchPath)) {}

QString SystemInfoRegistry::findTool() const
{
    // findExecutable searches the whole system PATH when given no folders.
    if (searchPath_.isEmpty())
        return {};
    for (const QString& name : ToolNames) {
        const QString found = QStandardPaths::findExecutable(name, searchPath_);
        if (!found.isEmpty())
            return found;
    }
    return {};
}

int SystemInfoRegistry::openKey(Key root, const QByteArray& keyPath, quint32 access, Key& opened)
{
    if (root == LocalMachine && keyPath == ToolPathKey) {
        const QString tool = findTool();
        if (tool.isEmpty())
            values_.removeKey(root, keyPath);
        else
            values_.setValue(root, keyPath, ToolPathValue, String, QFile::encodeName(tool) + '\0');
    }
    return values_.openKey(root, keyPath, access, opened);
}

int SystemInfoRegistry::queryValue(Key key, const QByteArray& valueName, quint32& type, char* data,
                                   quint32& dataSize)
{
    return values_.queryValue(key, valueName, type, data, dataSize);
}

int SystemInfoRegistry::closeKey(Key key)
{
    return values_.closeKey(key);
}

} // namespace pantrio
