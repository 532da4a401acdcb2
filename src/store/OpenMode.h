#pragma once

namespace pantrio {

// How a window holds the recipe file while it is open.
enum class OpenMode {
    Exclusive, // no other program can read or write the file meanwhile
    Shared,    // other programs may read and add recipes meanwhile
};

} // namespace pantrio
