#include "StoreError.h"

namespace pantrio {

StoreError::StoreError(Kind kind, QString message)
    : std::runtime_error(message.toStdString()), kind_(kind), message_(std::move(message))
{
}

} // namespace pantrio
