#pragma once
// How a recipe read back from a MealMaster file is compared with the one written.

#include "store/RecipeFields.h"

#include <QRegularExpression>
#include <QStringList>

namespace pantrio::test {

// A field as MealMaster keeps it: control characters count as blank space, runs of blank space
// as one space, blank lines as none; the breaks between the other lines count unless `oneLine`.
inline QString comparable(const FieldValue& value, bool oneLine)
{
    QString text = value.value_or(QString());
    for (QChar& c : text)
        if (c.unicode() < 0x20 && c != u'\n' && c != u'\r')
            c = u' ';
    if (oneLine)
        return text.simplified();
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    QStringList lines;
    for (const QString& line : text.split(lineEnd))
        if (const QString s = line.simplified(); !s.isEmpty())
            lines << s;
    return lines.join(u'\n');
}

// The fields MealMaster writes on one line.
inline bool oneLineField(Field f)
{
    return f == Field::RecipeName || f == Field::FoodCategoryID || f == Field::TimeToPrepare;
}

} // namespace pantrio::test
