// libFuzzer entry for the MealMaster reader; built and run by scripts/fuzz.
#include "FuzzReading.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace pantrio;
    const QByteArray content = fuzz::bytes(data, size);
    fuzz::readAll(content, exchange::readMealMaster);
    // What finds a recipe in a file's head and what reads it agree on where one begins.
    (void)exchange::holdsMealMasterHeader(content);
    return 0;
}
