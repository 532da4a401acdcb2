#pragma once

#include "platform/Registry.h"

#include <QHash>
#include <QMap>

#include <utility>

namespace pantrio {

// Keys and values held in memory. Keys are opened directly under a root key; a key
// path is taken as one name, so parent keys need not exist.
class MemoryRegistry final : public Registry
{
public:
    void addKey(Key root, const QByteArray& keyPath);
    // Creates the key when needed; replaces a value of the same name.
    void setValue(Key root, const QByteArray& keyPath, const QByteArray& valueName, quint32 type,
                  const QByteArray& data);
    void removeKey(Key root, const QByteArray& keyPath);

    int openKey(Key root, const QByteArray& keyPath, quint32 access, Key& opened) override;
    int queryValue(Key key, const QByteArray& valueName, quint32& type, char* data,
                   quint32& dataSize) override;
    int closeKey(Key key) override;

private:
    struct Value
    {
        quint32 type = 0;
        QByteArray data;
    };
    using Path = std::pair<Key, QByteArray>;

    QMap<Path, QMap<QByteArray, Value>> keys_;
    QHash<Key, Path> open_;
    Key nextHandle_ = 1;
};

} // namespace pantrio
