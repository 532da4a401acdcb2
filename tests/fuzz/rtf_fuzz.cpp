// libFuzzer entry for the RTF reader; built and run by scripts/fuzz.
#include "platform/richtext/RtfReader.h"

#include <QGuiApplication>
#include <QTextDocument>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // Fonts, and with them text layout, need a GUI application.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QTextDocument doc;
    pantrio::RtfReader::read(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)), doc);
    // Laying the result out catches formats that the reader should have kept in bounds.
    (void)doc.size();
    (void)doc.toPlainText();
    return 0;
}
