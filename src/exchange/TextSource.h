#pragma once

#include <QFile>
#include <QIODevice>
#include <QStringDecoder>

namespace pantrio::exchange {

// A text file as UTF-8 bytes (or the 8-bit text it holds), whatever its encoding: a UTF-8
// byte-order mark is dropped, UTF-16 with a byte-order mark is decoded, and NUL bytes, which
// no text holds, are left out. Read-only and sequential; size() is the file's.
class TextSource : public QIODevice
{
public:
    explicit TextSource(const QString& path);

    bool open(OpenMode mode) override;
    void close() override;
    bool isSequential() const override { return true; }
    qint64 size() const override { return file_.size(); }
    qint64 bytesAvailable() const override;
    // How far into the file itself reading has come.
    qint64 filePos() const { return file_.pos(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    bool fill();

    QFile file_;
    QStringDecoder decoder_;
    bool utf16_ = false;
    QByteArray pending_;
    qsizetype at_ = 0;
};

} // namespace pantrio::exchange
