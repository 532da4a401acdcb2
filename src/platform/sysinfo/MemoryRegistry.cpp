#include "MemoryRegistry.h"

#include <cstring>

namespace pantrio {

void MemoryRegistry::addKey(Key root, const QByteArray& keyPath)
{
    keys_[{root, keyPath}];
}

void MemoryRegistry::setValue(Key root, const QByteArray& keyPath, const QByteArray& valueName,
                              quint32 type, const QByteArray& data)
{
    keys_[{root, keyPath}].insert(valueName, {type, data});
}

void MemoryRegistry::removeKey(Key root, const QByteArray& keyPath)
{
    keys_.remove({root, keyPath});
}

// Access rights are not checked: every caller may read everything.
int MemoryRegistry::openKey(Key root, const QByteArray& keyPath, quint32, Key& opened)
{
    const Path path{root, keyPath};
    if (!keys_.contains(path))
        return FileNotFound;
    // Handles are never reused, so a stale one cannot reach another key.
    opened = nextHandle_++;
    open_.insert(opened, path);
    return Success;
}

int MemoryRegistry::queryValue(Key key, const QByteArray& valueName, quint32& type, char* data,
                               quint32& dataSize)
{
    const auto handle = open_.constFind(key);
    if (handle == open_.cend())
        return InvalidHandle;
    const auto values = keys_.constFind(*handle);
    if (values == keys_.cend())
        return FileNotFound; // removed while open
    const auto value = values->constFind(valueName);
    if (value == values->cend())
        return FileNotFound;

    const auto size = quint32(value->data.size());
    type = value->type;
    if (data && size > dataSize) {
        dataSize = size;
        return MoreData;
    }
    if (data && size > 0)
        std::memcpy(data, value->data.constData(), size);
    dataSize = size;
    return Success;
}

int MemoryRegistry::closeKey(Key key)
{
    return open_.remove(key) ? Success : InvalidHandle;
}

} // namespace pantrio
