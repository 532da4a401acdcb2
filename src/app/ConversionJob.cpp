#include "ConversionJob.h"

#include "exchange/AccessConversion.h"
#include "exchange/RecipeFormats.h"

namespace pantrio {

bool ConversionJob::isOldCollection(const QString& path)
{
    return exchange::detectFormat(path) == exchange::Format::Access;
}

QString ConversionJob::keptName(const QString& path)
{
    return exchange::keptAccessName(path);
}

void ConversionJob::run(const QString& path)
{
    exchange::convertAccessCollection(path);
}

} // namespace pantrio
