// libFuzzer entry for the writers: a recipe made from the input, written as MealMaster and as
// JSON-LD, must read back as itself (JSON-LD exactly, MealMaster up to blank space). Built and
// run by scripts/fuzz.
#include "Comparable.h"
#include "exchange/RecipeText.h"
#include "FuzzReading.h"

#include <QList>

namespace {

using namespace pantrio;

// The input's pieces between 0xFF bytes (never part of UTF-8 text) are the fields in their
// order; a field past the last piece has no value, which is not the same as an empty one.
RecipeValues recipeFrom(const QByteArray& input)
{
    RecipeValues recipe;
    const QList<QByteArray> pieces = input.split('\xFF');
    for (qsizetype i = 0; i < pieces.size() && i < FieldCount; ++i)
        recipe[allFields[std::size_t(i)]] = QString::fromUtf8(pieces[i]);
    return recipe;
}

// Readers refuse, with a word, a recipe with neither name, ingredients nor instructions; that
// is the only recipe that may come back as a problem rather than as itself.
bool refusable(const RecipeValues& r, bool mealMaster)
{
    for (Field f : {Field::RecipeName, Field::Ingredients, Field::Instructions})
        if (mealMaster ? !test::comparable(r[f], true).isEmpty() : r[f].has_value())
            return false;
    return true;
}

QList<RecipeValues> readBack(const QByteArray& file, void (*reader)(QIODevice&, const exchange::ReadEvents&),
                             bool mayRefuse)
{
    QBuffer in;
    in.setData(file);
    in.open(QIODevice::ReadOnly);
    QList<RecipeValues> recipes;
    exchange::ReadEvents events;
    events.recipe = [&](RecipeValues&& r, std::int64_t) {
        recipes << r;
        return true;
    };
    events.problem = [&](std::int64_t, const QString& problem) {
        if (!mayRefuse) {
            std::fprintf(stderr, "%s\n", qPrintable(problem));
            fuzz::fail("a problem reading back what was written");
        }
    };
    try {
        reader(in, events);
    } catch (const exchange::ReadError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        fuzz::fail("what was written is refused");
    }
    return recipes;
}

void mismatch(const char* format, Field f, const QString& written, const QString& read,
              const QByteArray& file)
{
    std::fprintf(stderr, "%s, field %s\nwritten: [%s]\nread:    [%s]\nfile:\n%s\n", format, columnName(f),
                 qPrintable(written), qPrintable(read), file.constData());
    fuzz::fail("read back as another recipe");
}

// JSON-LD reads back exactly, but for a time written in ISO 8601 form (`PT1H`), which every
// JSON-LD time is read as and which comes in as words ("1 hour").
bool sameInJson(Field f, const FieldValue& written, const FieldValue& read)
{
    if (written == read)
        return true;
    return f == Field::TimeToPrepare && written && read && exchange::readableDuration(*written) == *read;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const RecipeValues recipe = recipeFrom(fuzz::bytes(data, size));
    // Twice, so that a recipe that runs into the next shows.
    QBuffer json, mealMaster;
    json.open(QIODevice::WriteOnly);
    mealMaster.open(QIODevice::WriteOnly);
    exchange::beginJson(json);
    for (bool first : {true, false}) {
        exchange::writeJson(json, recipe, first);
        exchange::writeMealMaster(mealMaster, recipe);
    }
    exchange::endJson(json);

    const bool jsonMayRefuse = refusable(recipe, false), mealMasterMayRefuse = refusable(recipe, true);
    const QList<RecipeValues> fromJson = readBack(json.data(), exchange::readJson, jsonMayRefuse);
    const QList<RecipeValues> fromMealMaster =
        readBack(mealMaster.data(), exchange::readMealMaster, mealMasterMayRefuse);
    if ((fromJson.size() != 2 && !(jsonMayRefuse && fromJson.isEmpty())) ||
        (fromMealMaster.size() != 2 && !(mealMasterMayRefuse && fromMealMaster.isEmpty())))
        fuzz::fail("not two recipes read back");
    for (qsizetype i = 0; i < 2; ++i) {
        for (Field f : allFields) {
            if (i < fromJson.size() && !sameInJson(f, recipe[f], fromJson[i][f]))
                mismatch("JSON-LD", f, recipe[f].value_or(QStringLiteral("(none)")),
                         fromJson[i][f].value_or(QStringLiteral("(none)")), json.data());
            if (i >= fromMealMaster.size())
                continue;
            const bool oneLine = test::oneLineField(f);
            const QString written = test::comparable(recipe[f], oneLine);
            const QString read = test::comparable(fromMealMaster[i][f], oneLine);
            if (read != written)
                mismatch("MealMaster", f, written, read, mealMaster.data());
        }
    }
    return 0;
}
