// libFuzzer entry for the web page reader: decoding, markup, JSON-LD scripts and microdata;
// built and run by scripts/fuzz.
#include "FuzzReading.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace pantrio;
    const QByteArray content = fuzz::bytes(data, size);
    fuzz::readAll(content, exchange::readHtml);
    // As fetched: relative addresses resolved against the page's, a charset from the server.
    fuzz::readAll(content, [](QIODevice& in, const exchange::ReadEvents& events) {
        exchange::readWebPage(
            in, events,
            {QStringLiteral("https://example.org/recipes/soup?x=1"), QStringLiteral("iso-8859-1")});
    });
    return 0;
}
