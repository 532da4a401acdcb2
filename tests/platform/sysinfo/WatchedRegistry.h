#pragma once

#include "platform/sysinfo/MemoryRegistry.h"

#include <QSet>

namespace pantrio::test {

// Registry values in memory, with a record of what callers did: the rights they asked for
// and the keys they left open.
class WatchedRegistry final : public Registry
{
public:
    void setValue(Key root, const QByteArray& keyPath, const QByteArray& valueName, quint32 type,
                  const QByteArray& data)
    {
        values_.setValue(root, keyPath, valueName, type, data);
    }

    int openKey(Key root, const QByteArray& keyPath, quint32 access, Key& opened) override
    {
        lastAccess = access;
        const int result = values_.openKey(root, keyPath, access, opened);
        if (result == Success)
            open.insert(opened);
        return result;
    }
    int queryValue(Key key, const QByteArray& valueName, quint32& type, char* data, quint32& dataSize) override
    {
        return values_.queryValue(key, valueName, type, data, dataSize);
    }
    int closeKey(Key key) override
    {
        const int result = values_.closeKey(key);
        if (result == Success)
            open.remove(key);
        return result;
    }

    QSet<Key> open;
    quint32 lastAccess = 0;

private:
    MemoryRegistry values_;
};

} // namespace pantrio::test
