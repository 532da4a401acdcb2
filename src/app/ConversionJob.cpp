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

bool ConversionJob::run(const QString& path)
{
    cancelled_ = false;
    exchange::AccessReading how;
    how.progress = [this](std::int64_t done, std::int64_t claimed) {
        // The claimed count of a damaged file is not to be trusted; the bar only never runs over.
        emit progressed(claimed > 0 ? int(std::min(done, claimed) * 999 / claimed) : 0);
        return !cancelled_;
    };
    return !exchange::convertAccessCollection(path, how).isEmpty();
}

} // namespace pantrio
