// libFuzzer entry for the JSON-LD reader and the lenient JSON beneath it; built and run by
// scripts/fuzz.
#include "exchange/LenientJson.h"
#include "FuzzReading.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace pantrio;
    const QByteArray content = fuzz::bytes(data, size);
    fuzz::readAll(content, exchange::readJson);
    // Pages hand their scripts to the lenient reader directly; valid JSON must read as it is.
    const exchange::LenientJson lenient = exchange::readLenientJson(content);
    QJsonParseError strict;
    const QJsonDocument document = QJsonDocument::fromJson(content, &strict);
    if (strict.error == QJsonParseError::NoError &&
        (!lenient.error.isEmpty() || lenient.value != (document.isArray() ? QJsonValue(document.array())
                                                                          : QJsonValue(document.object()))))
        fuzz::fail("valid JSON read as something else by the lenient reader");
    return 0;
}
