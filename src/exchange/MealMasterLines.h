#pragma once

// The shapes of MealMaster lines, shared by the reader and the writer so that the two agree.

#include <QLatin1StringView>
#include <QString>
#include <QStringView>

namespace pantrio::exchange::mealmaster {

// Column layout of an ingredient line: amount right-aligned in 0-6, unit code in 8-9, text from
// 11; the two-column layout repeats it from column 41.
constexpr int AmountWidth = 7;
constexpr int UnitColumn = 8;
constexpr int TextColumn = 11;
constexpr int SecondColumn = 41;
// Wrapped lines are long; a line shorter than this ended where its writer meant it to.
constexpr int WrappedLength = 55;

struct Unit
{
    QLatin1StringView code, one, many;
};

// Digits, space, `/`, `.` and `-`: what the amount column holds.
bool isAmountChar(QChar c);

// The unit with this code, or null.
const Unit* unitByCode(QStringView code);
// The unit whose name, as the reader spells it after `amount`, begins `text` as a whole word
// (the longest such name); null when none does.
const Unit* unitSpelledAt(QStringView text, QStringView amount);
// The name the reader gives `unit` after `amount`.
QLatin1StringView unitName(const Unit& unit, QStringView amount);

struct Ingredient
{
    QString amount, unit, text;
    bool valid = false;
};

// One column of an ingredient line, starting at `at`.
Ingredient ingredientAt(QStringView line, qsizetype at);
// The ingredient as one line of text: amount, unit spelled out, text.
QString ingredientLine(const Ingredient& in);

// The line tests take a line without the blank space around it.
bool startsStep(QStringView line);
bool isEndMarker(QStringView line);
bool isHeader(QStringView line);
// "MMMMM-----FILLING-----" and "-----FILLING-----": the name, or nothing.
QStringView sectionName(QStringView line);
// Lines that start a field of their own when they begin a paragraph of the directions.
bool startsParagraphTag(QStringView line);
// Lines of the header block above the ingredients.
bool startsHeaderTag(QStringView line);
// Whether the line, indented as the directions are, reads as an ingredient.
bool readsAsIngredient(QStringView line);

// A line of text that the reader would take for part of the format (or that begins with the
// backslash itself) is written after a backslash, which the reader takes off again. The reader
// takes it off only before such a line, so a backslash in other text is kept.
bool needsEscapeMark(QStringView line);
QStringView withoutEscapeMark(QStringView line);

} // namespace pantrio::exchange::mealmaster
