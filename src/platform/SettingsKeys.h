#pragma once

#include <QLatin1String>
#include <QString>

namespace pantrio {

class SettingsStore;

// Where a setting is stored. The names are those of existing settings files and never change.
struct SettingsKey
{
    QLatin1String app;
    QLatin1String section;
    QLatin1String name;
};

// The database server whose collection Pantrio uses instead of the file on this computer, as
// a libpq address without a password; missing for the file.
inline constexpr SettingsKey SharedCollectionKey{QLatin1String("Pantrio"), QLatin1String("Shared Collection"),
                                                 QLatin1String("Address")};

// Whether the introduction has been seen: "1" once it has; other numbers end the program at
// start, anything else is refused.
inline constexpr SettingsKey FirstRunKey{QLatin1String("DezoruDozazor"), QLatin1String("Counts"),
                                         QLatin1String("FirstTime")};

// The text of the last Find, which Find Next looks for again.
inline constexpr SettingsKey SavedSearchKey{QLatin1String("Pantrio"), QLatin1String("Find Next"),
                                            QLatin1String("Find")};
// The text of the last search over every field (Ctrl+F). A key of its own, so that "Find" keeps
// meaning the last Find; in the same section, so that it is forgotten with it.
inline constexpr SettingsKey SavedAnywhereSearchKey{QLatin1String("Pantrio"), QLatin1String("Find Next"),
                                                    QLatin1String("FindAnywhere")};

// The recipe list's place on the screen ("x,y,width,height") and the column it is sorted by
// ("RecipeName", "FoodCategoryID" or "TimeToPrepare", as the table names them).
inline constexpr SettingsKey RecipeListGeometryKey{QLatin1String("Pantrio"), QLatin1String("Recipe List"),
                                                   QLatin1String("Geometry")};
inline constexpr SettingsKey RecipeListSortKey{QLatin1String("Pantrio"), QLatin1String("Recipe List"),
                                               QLatin1String("SortColumn")};

// The stored first-run flag as text; empty when there is none.
QString firstRunFlag(const SettingsStore& settings);
// False when the store could not be changed.
bool setFirstRunFlag(SettingsStore& settings, const QString& value = QStringLiteral("1"));

// Empty when there is none. `key` is one of the two saved search texts above.
QString savedSearchText(const SettingsStore& settings, const SettingsKey& key = SavedSearchKey);
bool saveSearchText(SettingsStore& settings, const QString& text, const SettingsKey& key = SavedSearchKey);
// Empty when there is none.
QString readSetting(const SettingsStore& settings, const SettingsKey& key);
bool writeSetting(SettingsStore& settings, const SettingsKey& key, const QString& value);

// Removes the whole section, as the recipe window does when it closes.
bool forgetSavedSearch(SettingsStore& settings);

} // namespace pantrio
