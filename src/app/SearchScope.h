#pragma once

namespace pantrio {

// Which search a Find asks for, and so which one Find Next continues. Each keeps its own
// saved search text.
enum class FindScope {
    NameOrCategory, // Find Recipe
    EveryField,     // Ctrl+F
};

} // namespace pantrio
