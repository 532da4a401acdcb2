#pragma once

#include "store/RecipeFields.h"

#include <functional>
#include <QJsonObject>
#include <QJsonValue>

namespace pantrio::exchange {

// The seven fields of a schema.org Recipe object.
RecipeValues recipeFromJsonLd(const QJsonObject& recipe);

// Every Recipe a JSON-LD document holds, in its order, each once: the document itself, a
// list, an @graph (a list, or an object of numbered members), a page's main entity, list
// items, and what an `@id` reference points to. `recipe` returns false to stop; so then does
// this.
bool forEachJsonLdRecipe(const QJsonValue& document, const std::function<bool(const QJsonObject&)>& recipe);

} // namespace pantrio::exchange
