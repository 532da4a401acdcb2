#include "TextSource.h"

#include <cstring>

namespace pantrio::exchange {

namespace {

constexpr qint64 ReadSize = 1 << 16;

} // namespace

TextSource::TextSource(const QString& path) : file_(path) {}

bool TextSource::open(OpenMode mode)
{
    if ((mode & ReadWrite) != ReadOnly || !file_.open(ReadOnly)) {
        setErrorString(file_.errorString());
        return false;
    }
    const QByteArray mark = file_.peek(3);
    if (mark.startsWith("\xEF\xBB\xBF")) {
        file_.skip(3);
    } else if (mark.startsWith("\xFF\xFE") || mark.startsWith("\xFE\xFF")) {
        utf16_ = true;
        decoder_ =
            QStringDecoder(mark.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        file_.skip(2);
    }
    pending_.clear();
    at_ = 0;
    return QIODevice::open(mode);
}

void TextSource::close()
{
    QIODevice::close();
    file_.close();
}

qint64 TextSource::bytesAvailable() const
{
    // Decoded text is not the file's length; what is left of the file is near enough.
    return QIODevice::bytesAvailable() + (pending_.size() - at_) + file_.bytesAvailable();
}

// Decodes the next piece of the file; false at its end.
bool TextSource::fill()
{
    while (at_ == pending_.size()) {
        const QByteArray raw = file_.read(ReadSize);
        if (raw.isEmpty())
            return false;
        if (utf16_) {
            QString text = decoder_.decode(raw);
            text.remove(QChar(0));
            pending_ = text.toUtf8();
        } else {
            pending_ = raw;
            pending_.removeIf([](char c) { return c == 0; });
        }
        at_ = 0;
    }
    return true;
}

qint64 TextSource::readData(char* data, qint64 maxSize)
{
    if (!fill())
        return 0;
    const qint64 n = std::min<qint64>(maxSize, pending_.size() - at_);
    std::memcpy(data, pending_.constData() + at_, n);
    at_ += n;
    return n;
}

} // namespace pantrio::exchange
