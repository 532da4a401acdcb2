#pragma once

#include "FieldValue.h"

#include <QLatin1StringView>
#include <QString>

#include <array>
#include <cstddef>
#include <optional>

namespace pantrio {

// The seven fields of a recipe, in the order of the table's columns and of the windows' boxes.
enum class Field { FoodCategoryID, RecipeName, RecipeDescription, TimeToPrepare, Ingredients, Instructions, Notes };

inline constexpr int FieldCount = 7;

inline constexpr std::array<Field, FieldCount> allFields = {
    Field::FoodCategoryID, Field::RecipeName,   Field::RecipeDescription, Field::TimeToPrepare,
    Field::Ingredients,    Field::Instructions, Field::Notes};

constexpr std::size_t fieldIndex(Field f)
{
    return std::size_t(f);
}

// The column's name in the recipe table, which other programs read and write too.
constexpr const char* columnName(Field f)
{
    constexpr std::array<const char*, FieldCount> names = {
        "FoodCategoryID", "RecipeName", "Recipe Description", "TimeToPrepare", "Ingredients", "Instructions", "Notes"};
    return names[fieldIndex(f)];
}

// Letter case is ignored, as the engine ignores it in column names.
inline std::optional<Field> fieldByName(const QString& name)
{
    for (Field f : allFields)
        if (name.compare(QLatin1StringView(columnName(f)), Qt::CaseInsensitive) == 0)
            return f;
    return std::nullopt;
}

// The values of one recipe, a value or none for each field.
class RecipeValues
{
public:
    FieldValue& operator[](Field f) { return values_[fieldIndex(f)]; }
    const FieldValue& operator[](Field f) const { return values_[fieldIndex(f)]; }

    friend bool operator==(const RecipeValues&, const RecipeValues&) = default;

private:
    std::array<FieldValue, FieldCount> values_{};
};

} // namespace pantrio
