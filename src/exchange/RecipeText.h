#pragma once

#include "store/RecipeFields.h"

#include <cstdint>
#include <optional>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace pantrio::exchange {

// A line of a file in no declared encoding: UTF-8 when it is valid UTF-8, else Windows-1252,
// which is what older recipe programs wrote.
QString decodeLine(QByteArrayView bytes);
QString decodeWindows1252(QByteArrayView bytes);

// Character references (`&amp;`, `&#233;`, `&eacute;`, every name HTML defines) replaced by
// their characters; unknown names are left as they are.
QString decodeEntities(const QString& text);

// Markup that web pages leave inside their recipe texts: <br> and </p> become line breaks,
// other tags are dropped, references are decoded; markup given escaped is dropped as well.
QString plainText(const QString& html);

// What every recipe goes through before it is stored, whatever it was read from: no NUL
// characters, line ends as \n, and a name and category on one line without blank ends.
void tidyRecipe(RecipeValues& recipe);

// ISO 8601 durations (`PT1H30M`, `P1DT2H`) as a cook reads them ("1 hour 30 minutes");
// nothing when `iso` is not a duration.
std::optional<QString> readableDuration(const QString& iso);
// The reverse, for exactly the texts readableDuration writes; nothing for any other text.
std::optional<QString> isoDuration(const QString& readable);

// Runs of blank space as one space, none at the ends: how recipes are compared.
QString squeezeSpace(const QString& text);

// Same name, category, ingredients and instructions, blank-space differences ignored.
bool sameRecipe(const RecipeValues& a, const RecipeValues& b);
std::uint64_t recipeKey(const RecipeValues& values);

} // namespace pantrio::exchange
