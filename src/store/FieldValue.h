#pragma once

#include <QString>

#include <optional>

namespace pantrio {

// A field of a recipe: text, or no value at all (NULL), which is not the same as empty text.
using FieldValue = std::optional<QString>;

} // namespace pantrio
