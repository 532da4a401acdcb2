#include "MealMasterLines.h"

#include "RecipeFormats.h"

#include <array>
#include <bit>
#include <cstdint>

namespace pantrio::exchange::mealmaster {

namespace {

using L1 = QLatin1StringView;

// Where two codes share a name, the one listed first is written.
constexpr std::array<Unit, 34> Units = {{
    {L1("x"), L1("per serving"), L1("per serving")},
    {L1("sm"), L1("small"), L1("small")},
    {L1("md"), L1("medium"), L1("medium")},
    {L1("lg"), L1("large"), L1("large")},
    {L1("cn"), L1("can"), L1("cans")},
    {L1("pk"), L1("package"), L1("packages")},
    {L1("pn"), L1("pinch"), L1("pinches")},
    {L1("dr"), L1("drop"), L1("drops")},
    {L1("ds"), L1("dash"), L1("dashes")},
    {L1("ct"), L1("carton"), L1("cartons")},
    {L1("bn"), L1("bunch"), L1("bunches")},
    {L1("sl"), L1("slice"), L1("slices")},
    {L1("ea"), L1("each"), L1("each")},
    {L1("t"), L1("teaspoon"), L1("teaspoons")},
    {L1("ts"), L1("teaspoon"), L1("teaspoons")},
    {L1("T"), L1("tablespoon"), L1("tablespoons")},
    {L1("tb"), L1("tablespoon"), L1("tablespoons")},
    {L1("fl"), L1("fluid ounce"), L1("fluid ounces")},
    {L1("c"), L1("cup"), L1("cups")},
    {L1("pt"), L1("pint"), L1("pints")},
    {L1("qt"), L1("quart"), L1("quarts")},
    {L1("ga"), L1("gallon"), L1("gallons")},
    {L1("oz"), L1("ounce"), L1("ounces")},
    {L1("lb"), L1("pound"), L1("pounds")},
    {L1("ml"), L1("millilitre"), L1("millilitres")},
    {L1("cb"), L1("cubic cm"), L1("cubic cm")},
    {L1("cl"), L1("centilitre"), L1("centilitres")},
    {L1("dl"), L1("decilitre"), L1("decilitres")},
    {L1("l"), L1("litre"), L1("litres")},
    {L1("mg"), L1("milligram"), L1("milligrams")},
    {L1("cg"), L1("centigram"), L1("centigrams")},
    {L1("dg"), L1("decigram"), L1("decigrams")},
    {L1("g"), L1("gram"), L1("grams")},
    {L1("kg"), L1("kilogram"), L1("kilograms")},
}};

constexpr std::array<L1, 7> ParagraphTags = {L1("Notes:"),   L1("Description:"), L1("Preparation time:"),
                                             L1("Source:"),  L1("From:"),        L1("Author:"),
                                             L1("Copyright")};
constexpr std::array<L1, 4> HeaderTags = {L1("Title:"), L1("Categories:"), L1("Yield:"), L1("Servings:")};

// "1", "1/2", ".5", "0.5": the amounts a unit is singular after.
bool isSingular(QStringView amount)
{
    const auto digits = [](QStringView s) {
        for (QChar c : s)
            if (c < u'0' || c > u'9')
                return false;
        return !s.isEmpty();
    };
    if (amount.isEmpty() || (amount.size() == 1 && amount[0] == u'1'))
        return true;
    for (qsizetype i = 0; i < amount.size(); ++i)
        if (amount[i] == u'/')
            return digits(amount.first(i)) && digits(amount.sliced(i + 1));
    if (amount.size() > 1 && amount[0] == u'0' && amount[1] == u'.')
        amount = amount.sliced(1);
    return amount[0] == u'.' && digits(amount.sliced(1));
}

// Whether `text` begins with `name` (as QStringView::startsWith, without a call per unit).
bool spells(QStringView text, L1 name)
{
    for (qsizetype i = 0; i < name.size(); ++i)
        if (text[i].unicode() != uchar(name.data()[i]))
            return false;
    return true;
}

template <std::size_t N> bool startsWithAny(QStringView line, const std::array<L1, N>& tags)
{
    for (L1 tag : tags)
        if (line.startsWith(tag))
            return true;
    return false;
}

} // namespace

bool isAmountChar(QChar c)
{
    return c.isDigit() || c == u' ' || c == u'/' || c == u'.' || c == u'-';
}

const Unit* unitByCode(QStringView code)
{
    for (const Unit& u : Units)
        if (code == u.code)
            return &u;
    return nullptr;
}

QLatin1StringView unitName(const Unit& unit, QStringView amount)
{
    return isSingular(amount) ? unit.one : unit.many;
}

const Unit* unitSpelledAt(QStringView text, QStringView amount)
{
    // The units whose names begin with each letter, so that a line is held against few of them.
    static const std::array<std::uint64_t, 128> byLetter = [] {
        std::array<std::uint64_t, 128> out{};
        for (std::size_t i = 0; i < Units.size(); ++i)
            out[uchar(Units[i].one.front().toLatin1()) & 127] |= std::uint64_t(1) << i;
        return out;
    }();
    if (text.isEmpty() || text[0].unicode() >= 128)
        return nullptr;
    const bool one = isSingular(amount);
    const Unit* best = nullptr;
    qsizetype bestSize = 0;
    for (std::uint64_t left = byLetter[text[0].unicode()]; left; left &= left - 1) {
        const Unit& u = Units[std::countr_zero(left)];
        const L1 name = one ? u.one : u.many;
        if (name.size() > bestSize && name.size() <= text.size() &&
            (text.size() == name.size() || text[name.size()] == u' ') && spells(text, name)) {
            best = &u;
            bestSize = name.size();
        }
    }
    return best;
}

Ingredient ingredientAt(QStringView line, qsizetype at)
{
    Ingredient out;
    const QStringView part = line.mid(at);
    for (int i = 0; i < UnitColumn - 1; ++i)
        if (i < part.size() && !isAmountChar(part[i]))
            return out;
    if (part.size() > UnitColumn - 1 && part[UnitColumn - 1] != u' ')
        return out;
    if (part.size() > TextColumn - 1 && part[TextColumn - 1] != u' ')
        return out;
    const QStringView unit = part.mid(UnitColumn, 2).trimmed();
    if (!unit.isEmpty() && !unitByCode(unit))
        return out;
    out.amount = part.left(UnitColumn - 1).trimmed().toString();
    out.unit = unit.toString();
    out.text = part.mid(TextColumn).trimmed().toString();
    out.valid = !out.amount.isEmpty() || !out.unit.isEmpty() || !out.text.isEmpty();
    return out;
}

QString ingredientLine(const Ingredient& in)
{
    QString out = in.amount;
    if (const Unit* unit = in.unit.isEmpty() ? nullptr : unitByCode(in.unit)) {
        if (!out.isEmpty())
            out += u' ';
        out += unitName(*unit, in.amount);
    }
    if (!in.text.isEmpty()) {
        if (!out.isEmpty())
            out += u' ';
        out += in.text;
    }
    return out;
}

bool startsStep(QStringView line)
{
    qsizetype digits = 0;
    while (digits < line.size() && line[digits].isDigit())
        ++digits;
    if (digits > 0)
        return digits < line.size() && (line[digits] == u'.' || line[digits] == u')' || line[digits] == u':');
    return line.size() > 1 && (line[0] == u'-' || line[0] == u'*' || line[0] == u'\u2022') &&
           line[1].isSpace();
}

bool isEndMarker(QStringView line)
{
    return line == u"MMMMM" || line == u"-----";
}

bool isHeader(QStringView line)
{
    return (line.startsWith(u"MMMMM-----") || line.startsWith(u"-----")) &&
           (line.contains(u"Meal-Master", Qt::CaseInsensitive) ||
            line.contains(u"Now You're Cooking", Qt::CaseInsensitive));
}

QStringView sectionName(QStringView line)
{
    QStringView rest = line.startsWith(u"MMMMM") ? line.mid(5) : line;
    qsizetype dashes = 0;
    while (dashes < rest.size() && rest[dashes] == u'-')
        ++dashes;
    if (dashes < 3)
        return {};
    rest = rest.mid(dashes);
    while (!rest.isEmpty() && rest.front().isSpace())
        rest = rest.mid(1);
    if (rest.isEmpty() || rest.front() == u'-')
        return {};
    while (rest.endsWith(u'-'))
        rest.chop(1);
    return rest.trimmed();
}

bool startsParagraphTag(QStringView line)
{
    return startsWithAny(line, ParagraphTags);
}

bool startsHeaderTag(QStringView line)
{
    return startsWithAny(line, HeaderTags);
}

bool readsAsIngredient(QStringView line)
{
    if (line.isEmpty() || !isAmountChar(line.front()))
        return false;
    QString indented = QStringLiteral("  ");
    indented += line;
    return ingredientAt(indented, 0).valid;
}

bool needsEscapeMark(QStringView line)
{
    return line.startsWith(u'\\') || line.startsWith(u'-') || isHeader(line) || isEndMarker(line) ||
           startsParagraphTag(line) || startsHeaderTag(line) || !sectionName(line).isEmpty() ||
           readsAsIngredient(line);
}

QStringView withoutEscapeMark(QStringView line)
{
    return line.startsWith(u'\\') && needsEscapeMark(line.mid(1)) ? line.mid(1) : line;
}

} // namespace pantrio::exchange::mealmaster
