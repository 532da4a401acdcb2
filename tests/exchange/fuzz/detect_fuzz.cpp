// libFuzzer entry for what an import does with a file: decode it (byte-order marks, UTF-16,
// NUL bytes), tell its format and read it with that reader; built and run by scripts/fuzz.
#include "exchange/TextSource.h"
#include "FuzzReading.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <unistd.h>

namespace {

using namespace pantrio;

QString inputPath;

void (*readerFor(exchange::Format format))(QIODevice&, const exchange::ReadEvents&)
{
    switch (format) {
    case exchange::Format::MealMaster:
        return exchange::readMealMaster;
    case exchange::Format::Json:
        return exchange::readJson;
    case exchange::Format::Html:
        return exchange::readHtml;
    default: // Access files are read by a program of their own, not in this process
        return nullptr;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // A web page's suffix, which decides between HTML and MealMaster for a text starting with '<'.
    inputPath = QDir::temp().filePath(QStringLiteral("pantrio-fuzz-%1.htm").arg(getpid()));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray content = fuzz::bytes(data, size);
    {
        QFile file(inputPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
            fuzz::fail("cannot write the input file");
    }
    const exchange::Format format = exchange::detectFormat(inputPath);
    if (const auto reader = readerFor(format)) {
        exchange::TextSource text(inputPath);
        if (!text.open(QIODevice::ReadOnly))
            fuzz::fail("cannot open the input file");
        // UTF-16 decoded to UTF-8 may grow by half.
        fuzz::readAll(text, content.size() * 3 / 2 + 3, reader);
    }
    // Bytes that need no decoding are told apart the same in memory as in a file.
    const bool plain =
        !content.contains('\0') && !content.startsWith("\xFF\xFE") && !content.startsWith("\xFE\xFF");
    if (plain && exchange::detectFormat(content, inputPath) != format)
        fuzz::fail("the same bytes taken for another format in memory");
    // A page fetched from the web is told apart without decoding, by its address's suffix.
    const exchange::Format fetched = exchange::detectFormat(content, QStringLiteral("recipe"));
    if (fetched != format)
        if (const auto reader = readerFor(fetched))
            fuzz::readAll(content, reader);
    return 0;
}
