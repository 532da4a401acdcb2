#include "SysInfo.h"

#include "platform/Launcher.h"
#include "platform/MessageBoxes.h"

#include <QDir>
#include <QFileInfo>
#include <QtEndian>

namespace pantrio {

bool GetKeyValue(Registry& registry, Registry::Key root, const QString& keyPath, const QString& valueName,
                 QString& valueText)
{
    Registry::Key key = 0;
    if (registry.openKey(root, keyPath.toLocal8Bit(), KeyAccess, key) != Registry::Success) {
        valueText.clear();
        return false;
    }

    QByteArray buffer(ValueBufferSize, '\0');
    quint32 dataSize = ValueBufferSize;
    quint32 type = 0;
    const int status = registry.queryValue(key, valueName.toLocal8Bit(), type, buffer.data(), dataSize);
    // A value without data has nothing to give: count it as missing so callers can look elsewhere.
    if (status != Registry::Success || dataSize == 0) {
        valueText.clear();
        registry.closeKey(key);
        return false;
    }

    QByteArray data = buffer.left(dataSize);
    if (data.endsWith('\0'))
        data.chop(1);
    switch (type) {
    case Registry::String:
        valueText = QString::fromLocal8Bit(data);
        break;
    case Registry::Dword:
        // From the buffer, not `data`: the chop above may have taken the number's high byte.
        valueText = QString::number(qFromLittleEndian<quint32>(buffer.constData()));
        break;
    default:
        break;
    }
    registry.closeKey(key);
    return true;
}

void StartSysInfo(Registry& registry, Launcher& launcher, MessageBoxes& messages, const QString& title)
{
    QString path;
    bool found = GetKeyValue(registry, Registry::LocalMachine, QString::fromLatin1(ToolPathKey),
                             QString::fromLatin1(ToolPathValue), path);
    if (!found && GetKeyValue(registry, Registry::LocalMachine, QString::fromLatin1(ToolFolderKey),
                              QString::fromLatin1(ToolFolderValue), path)) {
        const QString file = path + QDir::separator() + QString::fromLatin1(ToolFile);
        if (QFileInfo(file).isFile()) {
            path = file;
            found = true;
        }
    }
    // The path from the first entry is trusted as it stands; a start that fails still gets the message.
    if (found && launcher.start(path))
        return;
    messages.show(QString::fromLatin1(SysInfoUnavailable), title, MessageIcon::None, MessageButtons::Ok);
}

} // namespace pantrio
