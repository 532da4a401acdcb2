#include "MealMasterLines.h"
#include "RecipeFormats.h"
#include "RecipeText.h"

#include <algorithm>
#include <cstdint>

namespace pantrio::exchange {

using namespace mealmaster;

namespace {

constexpr int WriteWidth = 76;
constexpr QLatin1StringView Indent("  ");
constexpr QStringView TextIndent(u"           ");
constexpr QStringView Continued(u"           -");

// Control characters other than tab and line ends are no text; they are written as blank space.
QString plain(const FieldValue& value)
{
    if (!value)
        return {};
    const auto isControl = [](char16_t c) { return c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r'; };
    // Without branches or an early return, so that the loop runs on many characters at once.
    unsigned char any = 0;
    const auto* p = reinterpret_cast<const char16_t*>(value->constData());
    for (const char16_t* end = p + value->size(); p != end; ++p)
        any |= (*p < 0x20) & (*p != u'\t') & (*p != u'\n') & (*p != u'\r');
    if (!any)
        return *value;
    QString out = *value;
    for (QChar& c : out)
        if (isControl(c.unicode()))
            c = u' ';
    return out;
}

// Calls `each` with every line of `text` (ended by LF, CR LF or a CR alone), without its end.
template <typename F> void forEachLine(QStringView text, F each)
{
    if (!text.contains(QChar(u'\r'))) {
        qsizetype from = 0;
        for (qsizetype end; (end = text.indexOf(u'\n', from)) >= 0; from = end + 1)
            each(text.mid(from, end - from));
        each(text.mid(from));
        return;
    }
    qsizetype from = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\n' && text[i] != u'\r')
            continue;
        each(text.mid(from, i - from));
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        from = i + 1;
    }
    each(text.mid(from));
}

// Hands `line` to `put` in pieces of at most `width` where it can, broken at spaces: never
// before a piece `canStart` refuses, and never leaving a piece shorter than `least` (the reader
// takes a short line for one that ended). A piece longer than `width` is left whole.
template <typename CanStart, typename Put>
void wrap(QStringView line, qsizetype width, qsizetype least, CanStart canStart, Put put)
{
    QStringView rest = line;
    bool first = true;
    while (rest.size() > width) {
        const auto breaksAt = [&](qsizetype i) {
            if (rest[i] != u' ' || rest.left(i).trimmed().size() < least)
                return false;
            const QStringView next = rest.mid(i + 1).trimmed();
            return !next.isEmpty() && canStart(next);
        };
        qsizetype at = -1;
        for (qsizetype i = width; i >= std::max<qsizetype>(least, 1) && at < 0; --i)
            if (breaksAt(i))
                at = i;
        for (qsizetype i = width + 1; i < rest.size() && at < 0; ++i)
            if (breaksAt(i))
                at = i;
        if (at < 0)
            break;
        put(rest.left(at).trimmed(), first);
        first = false;
        rest = rest.mid(at + 1).trimmed();
    }
    put(rest, first);
}

// `line` as QString::simplified() leaves it; copied into `buffer` only when that changes it.
QStringView simplified(QStringView line, QString& buffer)
{
    if (line.isEmpty())
        return line;
    // Plain ASCII with single spaces inside, looked at without branches: many characters at once.
    const auto* p = reinterpret_cast<const char16_t*>(line.data());
    unsigned char other = (p[0] == u' ') | (p[line.size() - 1] == u' ');
    for (qsizetype i = 0; i < line.size(); ++i)
        other |= (p[i] < u' ') | (p[i] > 0x7E);
    for (qsizetype i = 1; i < line.size(); ++i)
        other |= (p[i] == u' ') & (p[i - 1] == u' ');
    if (!other)
        return line;
    bool space = true; // a space at the start is one too many
    for (QChar c : line) {
        const bool isSpace = c.unicode() <= u' ' || c.unicode() > 0x7E ? c.isSpace() : false;
        if (isSpace && (space || c != u' ')) {
            buffer = line.toString().simplified();
            return buffer;
        }
        space = isSpace;
    }
    if (space && !line.isEmpty())
        line.chop(1);
    return line;
}

bool escapedOnRead(QStringView line)
{
    return withoutEscapeMark(line).size() != line.size();
}

class Writer
{
public:
    explicit Writer(QString& out) : out_(out) {}

    enum class Tagging { None, First, EachParagraph };

    // A yield the notes begin with goes where readers look for it; returns the rest of the notes.
    QStringView header(const RecipeValues& r, QStringView notes)
    {
        out_ += QLatin1StringView("MMMMM----- Recipe via Meal-Master (tm) v8.05\n\n      Title: ");
        out_ += squeezeSpace(plain(r[Field::RecipeName]));
        out_ += QLatin1StringView("\n Categories: ");
        out_ += squeezeSpace(plain(r[Field::FoodCategoryID]));
        out_ += u'\n';
        qsizetype end = 0;
        while (end < notes.size() && notes[end] != u'\n' && notes[end] != u'\r')
            ++end;
        const QStringView first = notes.left(end);
        const qsizetype colon = first.indexOf(u':');
        const QString value = colon > 0 ? first.mid(colon + 1).toString().simplified() : QString();
        if ((first.startsWith(u"Yield:") || first.startsWith(u"Servings:")) && colon + 1 < first.size() &&
            first[colon + 1].isSpace() && !value.isEmpty() && value != u"0") {
            out_ += QLatin1StringView(first.startsWith(u'Y') ? "      " : "   ");
            out_ += first.left(colon + 1);
            out_ += u' ';
            out_ += value;
            notes = notes.mid(end);
        } else {
            out_ += QLatin1StringView("   Servings: 0");
        }
        out_ += QLatin1StringView("\n\n");
        return notes;
    }

    void ingredients(QStringView text)
    {
        QString buffer;
        forEachLine(text, [&](QStringView raw) {
            const QStringView line = simplified(raw, buffer);
            if (!line.isEmpty() && !section(line) && !columns(line))
                textColumn(TextIndent, line, escapedInTextColumn(line));
        });
        out_ += u'\n';
    }

    // A field of the directions; blank lines between its paragraphs are kept, one each.
    void field(QLatin1StringView tag, QStringView text, Tagging tagging)
    {
        bool any = false, paragraphStart = true;
        forEachLine(text, [&](QStringView raw) {
            const QStringView line = raw.trimmed();
            if (line.isEmpty()) {
                if (any && !paragraphStart)
                    out_ += u'\n';
                paragraphStart = true;
                return;
            }
            const bool tagged =
                tagging == Tagging::EachParagraph ? paragraphStart : tagging == Tagging::First && !any;
            directionLine(line, tagged ? tag : QLatin1StringView(),
                          paragraphStart && tagging == Tagging::None);
            any = true;
            paragraphStart = false;
        });
        if (any && !paragraphStart)
            out_ += u'\n';
    }

private:
    // A stored line "FILLING:" as the section line it was read from.
    bool section(QStringView line)
    {
        if (!line.endsWith(u':') || line.front().isDigit())
            return false;
        const QStringView name = line.chopped(1);
        QString written = QStringLiteral("MMMMM-----");
        written.append(name).append(QLatin1StringView("-----"));
        if (name.isEmpty() || sectionName(written) != name || isHeader(written))
            return false;
        out_ += written;
        out_ += u'\n';
        return true;
    }

    // "2 cups flour" as amount, unit code and text in their columns, which the reader puts
    // together again as the same line (it has no blank space but single spaces between words).
    bool columns(QStringView line)
    {
        qsizetype amountEnd = 0, at = 0;
        bool digit = false;
        while (at < line.size()) {
            qsizetype end = at;
            bool digits = false;
            while (end < line.size() && line[end] != u' ' && isAmountChar(line[end]))
                digits |= line[end++].isDigit();
            if (end == at || (end < line.size() && line[end] != u' ') || end > AmountWidth)
                break;
            amountEnd = end;
            digit |= digits;
            at = end + 1;
        }
        // An amount of dashes could make a line of the format's own.
        if (!digit || line.startsWith(u"---"))
            return false;
        const QStringView amount = line.left(amountEnd);
        QStringView text = line.mid(amountEnd).trimmed();
        const Unit* unit = unitSpelledAt(text, amount);
        if (unit)
            text = text.mid(unitName(*unit, amount).size()).trimmed();
        char16_t prefix[TextColumn];
        std::fill(std::begin(prefix), std::end(prefix), u' ');
        std::copy(amount.utf16(), amount.utf16() + amount.size(), prefix + AmountWidth - amount.size());
        for (qsizetype i = 0; unit && i < unit->code.size(); ++i)
            prefix[UnitColumn + i] = char16_t(unit->code[i].unicode());
        if (text.isEmpty()) {
            QStringView written(prefix, TextColumn);
            while (written.endsWith(u' '))
                written.chop(1);
            out_ += written;
            out_ += u'\n';
            return true;
        }
        textColumn(QStringView(prefix, TextColumn), text, false);
        return true;
    }

    static bool escapedInTextColumn(QStringView line)
    {
        return escapedOnRead(line) || line.startsWith(u'-') || isHeader(line) || isEndMarker(line) ||
               !sectionName(line).isEmpty() || startsHeaderTag(line);
    }

    // Ingredient text from the text column, wrapped onto `-` lines, which never begin with a
    // `-` of their own (a line of dashes would end the recipe).
    void textColumn(QStringView prefix, QStringView text, bool escape)
    {
        QString escaped;
        if (escape) {
            escaped = QStringLiteral("\\");
            escaped += text;
            text = escaped;
        }
        wrap(
            text, WriteWidth - TextColumn - 1, 1, [](QStringView next) { return !next.startsWith(u'-'); },
            [&](QStringView piece, bool first) {
                out_ += first ? prefix : Continued;
                out_ += piece;
                out_ += u'\n';
            });
    }

    // Whether the reader would take `piece`, written as a line of the directions, for something
    // other than text.
    bool misread(QStringView piece, bool paragraphStart) const
    {
        // Escaped lines, headers and end lines all begin with one of these.
        if (!firstDirection_ && !paragraphStart && piece.front() != u'\\' && piece.front() != u'M' &&
            piece.front() != u'-')
            return false;
        if (escapedOnRead(piece) || isHeader(piece) || isEndMarker(piece))
            return true;
        if (paragraphStart && startsParagraphTag(piece))
            return true;
        return firstDirection_ &&
               (startsHeaderTag(piece) || !sectionName(piece).isEmpty() || readsAsIngredient(piece));
    }

    // One line of the directions after `tag` (or none), wrapped; a long line that ends where
    // the text does gets a trailing space, which tells the reader not to join the next one to it.
    void directionLine(QStringView line, QLatin1StringView tag, bool paragraphStart)
    {
        QString tagged;
        if (!tag.isEmpty()) {
            tagged = tag;
            tagged += escapedOnRead(line) ? QLatin1StringView(" \\") : QLatin1StringView(" ");
            tagged += line;
            line = tagged;
        }
        qsizetype last = 0;
        wrap(
            line, WriteWidth - 2, WrappedLength - 2, [](QStringView next) { return !startsStep(next); },
            [&](QStringView piece, bool first) {
                if (!first)
                    out_ += u'\n';
                const qsizetype start = out_.size();
                out_ += Indent;
                if (!(first && !tag.isEmpty()) && misread(piece, first && paragraphStart))
                    out_ += u'\\';
                out_ += piece;
                last = out_.size() - start;
                firstDirection_ = false;
            });
        if (last >= WrappedLength)
            out_ += u' ';
        out_ += u'\n';
    }

    QString& out_;
    bool firstDirection_ = true;
};

} // namespace

void writeMealMaster(QIODevice& device, const RecipeValues& r)
{
    QString out;
    qsizetype size = 512;
    for (Field f : allFields)
        size += r[f] ? r[f]->size() : 0;
    out.reserve(size + size / 8);
    Writer writer(out);
    const QString notes = plain(r[Field::Notes]);
    const QStringView rest = writer.header(r, notes);
    writer.ingredients(plain(r[Field::Ingredients]));
    writer.field(QLatin1StringView("Description:"), plain(r[Field::RecipeDescription]),
                 Writer::Tagging::EachParagraph);
    writer.field(QLatin1StringView("Preparation time:"), squeezeSpace(plain(r[Field::TimeToPrepare])),
                 Writer::Tagging::First);
    writer.field({}, plain(r[Field::Instructions]), Writer::Tagging::None);
    writer.field(QLatin1StringView("Notes:"), rest, Writer::Tagging::First);
    out += QLatin1StringView("MMMMM\n\n");
    device.write(out.toUtf8());
}

} // namespace pantrio::exchange
