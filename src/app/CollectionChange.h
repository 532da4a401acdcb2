#pragma once

#include <cstdint>
#include <QMetaType>
#include <vector>

namespace pantrio {

// What a command changed in the collection, for every window that shows a part of it.
struct CollectionChange
{
    enum class Kind {
        Added,    // ids: the new recipe
        Saved,    // ids: the recipe whose fields changed
        Deleted,  // ids: the recipe gone
        Imported, // ids: the first new recipe; every recipe from its id on is new
        Reloaded, // read again (Refresh): anything may have changed, by this program or another
    };
    Kind kind;
    std::vector<std::int64_t> ids;
};

} // namespace pantrio

Q_DECLARE_METATYPE(pantrio::CollectionChange)
