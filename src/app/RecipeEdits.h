#pragma once

#include "store/RecipeFields.h"

#include <QString>
#include <utility>
#include <vector>

namespace pantrio {

// The text of each box whose text may differ from what the recipe holds: the boxes the user
// edited, and those holding an edit that an earlier command could not save. A command that may
// save hands them down; the session decides what changed.
using RecipeEdits = std::vector<std::pair<Field, QString>>;

} // namespace pantrio
