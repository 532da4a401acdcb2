#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace pantrio {

// The three registry calls the program makes, shaped like the platform's: status codes
// (0 is success), 8-bit texts, and the caller's own buffer for the data.
class Registry
{
public:
    using Key = quint32;

    static constexpr Key LocalMachine = 0x80000002u;

    static constexpr int Success = 0;
    static constexpr int FileNotFound = 2;
    static constexpr int InvalidHandle = 6;
    static constexpr int MoreData = 234;

    static constexpr quint32 String = 1;
    static constexpr quint32 Binary = 3;
    static constexpr quint32 Dword = 4;

    virtual ~Registry() = default;

    // Opens `keyPath` under `root`, an open key or a root key.
    virtual int openKey(Key root, const QByteArray& keyPath, quint32 access, Key& opened) = 0;
    // `dataSize` goes in as the size of `data` and comes out as the size of the value.
    // A value larger than the buffer answers MoreData and copies nothing; a null `data`
    // only asks for the size.
    virtual int queryValue(Key key, const QByteArray& valueName, quint32& type, char* data,
                           quint32& dataSize) = 0;
    virtual int closeKey(Key key) = 0;
};

} // namespace pantrio
