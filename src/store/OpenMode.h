#pragma once

namespace pantrio {

// How a recipe file is held while it is open.
enum class OpenMode {
    Exclusive, // no other program can read or write the file meanwhile
    Shared,    // other programs may read and add recipes meanwhile
};

} // namespace pantrio
