// libFuzzer entry for the MealMaster reader; built and run by scripts/fuzz.
#include "FuzzReading.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace pantrio;
    const QByteArray content = fuzz::bytes(data, size);
    const int recipes = fuzz::readAll(content, exchange::readMealMaster);
    // A file the reader finds recipes in is one that import recognises as MealMaster.
    if (recipes > 0 && !exchange::holdsMealMasterHeader(content))
        fuzz::fail("recipes read from a file not taken for MealMaster");
    return 0;
}
