// libFuzzer entry for the RTF reader; built and run by scripts/fuzz.
#include "platform/richtext/RtfReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <QGuiApplication>
#include <QTextDocument>

namespace {

// Qt's complaints about fonts or the document mean the reader let a bad value through.
void abortOnTextWarnings(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    std::fprintf(stderr, "%s\n", qPrintable(message));
    if (type != QtDebugMsg && type != QtInfoMsg &&
        (message.startsWith(QLatin1String("QFont")) || message.startsWith(QLatin1String("QText"))))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // Fonts, and with them text layout, need a GUI application.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(abortOnTextWarnings);
    // Never destroyed: torn down among the exit handlers, after Qt's own globals, it would leave
    // the font caches behind as leaks.
    static auto* app = new QGuiApplication(*argc, *argv);
    (void)app;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QTextDocument doc;
    pantrio::RtfReader::read(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)),
                             doc);
    // Laying the result out catches formats that the reader should have kept in bounds.
    (void)doc.size();
    (void)doc.toPlainText();
    return 0;
}
