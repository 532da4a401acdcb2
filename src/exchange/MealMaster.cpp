#include "RecipeFormats.h"
#include "RecipeText.h"

#include <QHash>
#include <QRegularExpression>

namespace pantrio::exchange {

namespace {

// Column layout of an ingredient line: amount in 0-6, unit code in 8-9, text from 11; the
// two-column layout repeats it from column 41.
constexpr int UnitColumn = 8;
constexpr int TextColumn = 11;
constexpr int SecondColumn = 41;
// Wrapped lines are long; a line shorter than this ended where its writer meant it to.
constexpr int WrappedLength = 55;
constexpr int WriteWidth = 76;

const QHash<QString, std::pair<const char*, const char*>>& unitNames()
{
    static const QHash<QString, std::pair<const char*, const char*>> units = {
        {QStringLiteral("x"), {"per serving", "per serving"}},
        {QStringLiteral("sm"), {"small", "small"}},
        {QStringLiteral("md"), {"medium", "medium"}},
        {QStringLiteral("lg"), {"large", "large"}},
        {QStringLiteral("cn"), {"can", "cans"}},
        {QStringLiteral("pk"), {"package", "packages"}},
        {QStringLiteral("pn"), {"pinch", "pinches"}},
        {QStringLiteral("dr"), {"drop", "drops"}},
        {QStringLiteral("ds"), {"dash", "dashes"}},
        {QStringLiteral("ct"), {"carton", "cartons"}},
        {QStringLiteral("bn"), {"bunch", "bunches"}},
        {QStringLiteral("sl"), {"slice", "slices"}},
        {QStringLiteral("ea"), {"each", "each"}},
        {QStringLiteral("t"), {"teaspoon", "teaspoons"}},
        {QStringLiteral("ts"), {"teaspoon", "teaspoons"}},
        {QStringLiteral("T"), {"tablespoon", "tablespoons"}},
        {QStringLiteral("tb"), {"tablespoon", "tablespoons"}},
        {QStringLiteral("fl"), {"fluid ounce", "fluid ounces"}},
        {QStringLiteral("c"), {"cup", "cups"}},
        {QStringLiteral("pt"), {"pint", "pints"}},
        {QStringLiteral("qt"), {"quart", "quarts"}},
        {QStringLiteral("ga"), {"gallon", "gallons"}},
        {QStringLiteral("oz"), {"ounce", "ounces"}},
        {QStringLiteral("lb"), {"pound", "pounds"}},
        {QStringLiteral("ml"), {"millilitre", "millilitres"}},
        {QStringLiteral("cb"), {"cubic cm", "cubic cm"}},
        {QStringLiteral("cl"), {"centilitre", "centilitres"}},
        {QStringLiteral("dl"), {"decilitre", "decilitres"}},
        {QStringLiteral("l"), {"litre", "litres"}},
        {QStringLiteral("mg"), {"milligram", "milligrams"}},
        {QStringLiteral("cg"), {"centigram", "centigrams"}},
        {QStringLiteral("dg"), {"decigram", "decigrams"}},
        {QStringLiteral("g"), {"gram", "grams"}},
        {QStringLiteral("kg"), {"kilogram", "kilograms"}},
    };
    return units;
}

bool isAmountChar(QChar c)
{
    return c.isDigit() || c == u' ' || c == u'/' || c == u'.' || c == u'-';
}

struct Ingredient
{
    QString amount, unit, text;
    bool valid = false;
};

// One column of an ingredient line, starting at `at`.
Ingredient ingredientAt(QStringView line, int at)
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
    const QString unit = part.mid(UnitColumn, 2).trimmed().toString();
    if (!unit.isEmpty() && !unitNames().contains(unit))
        return out;
    out.amount = part.left(UnitColumn - 1).trimmed().toString();
    out.unit = unit;
    out.text = part.mid(TextColumn).trimmed().toString();
    out.valid = !out.amount.isEmpty() || !out.unit.isEmpty() || !out.text.isEmpty();
    return out;
}

bool isSingular(const QString& amount)
{
    if (amount.isEmpty() || amount == u"1")
        return true;
    static const QRegularExpression fraction(QStringLiteral("^(0?\\.\\d+|\\d+/\\d+)$"));
    return fraction.match(amount).hasMatch();
}

QString ingredientLine(const Ingredient& in)
{
    QString out = in.amount;
    if (!in.unit.isEmpty()) {
        const auto& names = unitNames()[in.unit];
        if (!out.isEmpty())
            out += u' ';
        out += QLatin1StringView(isSingular(in.amount) ? names.first : names.second);
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

bool isEndMarker(QStringView trimmed)
{
    return trimmed == u"MMMMM" || trimmed == u"-----";
}

bool isHeader(QStringView line)
{
    return (line.startsWith(u"MMMMM-----") || line.startsWith(u"----------")) &&
           line.contains(u"Meal-Master", Qt::CaseInsensitive);
}

// "MMMMM-----FILLING-----" and "-----FILLING-----": the name, or nothing.
QString sectionName(QStringView trimmed)
{
    static const QRegularExpression section(QStringLiteral("^(?:MMMMM)?-{3,}\\s*([^-\\s].*?)\\s*-*$"));
    const auto m = section.match(trimmed);
    return m.hasMatch() ? m.captured(1) : QString();
}

bool hasBinary(QStringView line)
{
    for (QChar c : line)
        if (c.unicode() < 0x20 && c != u'\t')
            return true;
    return false;
}

// The tag blanked out, so that the line keeps its length for telling wrapped lines apart.
QString afterTag(const QString& line)
{
    const qsizetype at = line.indexOf(u':') + 1;
    return QString(at, u' ') + line.mid(at);
}

class Parser
{
public:
    explicit Parser(const ReadEvents& events) : events_(events) {}

    // Returns false when the reader is to stop.
    bool line(QString text, std::int64_t number)
    {
        while (text.endsWith(u'\r') || text.endsWith(u'\n'))
            text.chop(1);
        const QStringView trimmed = QStringView(text).trimmed();
        if (isHeader(trimmed)) {
            const bool go = !inRecipe_ || finish();
            start(number);
            return go;
        }
        if (!inRecipe_)
            return true;
        if (isEndMarker(trimmed))
            return finish();
        if (hasBinary(text))
            binary_ = true;
        switch (phase_) {
        case Phase::Header:
            header(text, trimmed);
            break;
        case Phase::Ingredients:
            ingredient(text, trimmed);
            break;
        case Phase::Directions:
            directions_ << text;
            break;
        }
        return true;
    }

    bool end() { return !inRecipe_ || finish(); }

private:
    enum class Phase { Header, Ingredients, Directions };

    void start(std::int64_t number)
    {
        inRecipe_ = true;
        binary_ = false;
        startLine_ = number;
        phase_ = Phase::Header;
        title_.reset();
        categories_.clear();
        yield_.clear();
        ingredients_.clear();
        directions_.clear();
        lastInColumn_[0] = lastInColumn_[1] = -1;
    }

    void header(const QString& text, QStringView trimmed)
    {
        if (trimmed.isEmpty())
            return;
        if (trimmed.startsWith(u"Title:")) {
            title_ = trimmed.mid(6).trimmed().toString();
        } else if (trimmed.startsWith(u"Categories:")) {
            categories_ = trimmed.mid(11).trimmed().toString();
        } else if (trimmed.startsWith(u"Yield:") || trimmed.startsWith(u"Servings:")) {
            const QString value = trimmed.mid(trimmed.indexOf(u':') + 1).trimmed().toString();
            if (!value.isEmpty() && value != u"0")
                yield_ = trimmed.left(trimmed.indexOf(u':') + 1).toString() + u' ' + value;
        } else {
            phase_ = Phase::Ingredients;
            ingredient(text, trimmed);
        }
    }

    void ingredient(const QString& text, QStringView trimmed)
    {
        if (trimmed.isEmpty())
            return;
        if (const QString section = sectionName(trimmed); !section.isEmpty()) {
            ingredients_ << section + u':';
            lastInColumn_[0] = lastInColumn_[1] = -1;
            return;
        }
        Ingredient left = ingredientAt(text, 0);
        if (!left.valid) {
            phase_ = Phase::Directions;
            directions_ << text;
            return;
        }
        Ingredient right;
        if (text.size() > SecondColumn && QStringView(text).mid(SecondColumn - 2, 2) == u"  ") {
            right = ingredientAt(text, SecondColumn);
            if (right.valid)
                left = ingredientAt(QStringView(text).left(SecondColumn), 0);
        }
        add(left, 0);
        if (right.valid)
            add(right, 1);
    }

    void add(const Ingredient& in, int column)
    {
        if (in.amount.isEmpty() && in.unit.isEmpty() && in.text.startsWith(u'-') &&
            lastInColumn_[column] >= 0) {
            QString& to = ingredients_[lastInColumn_[column]];
            const QString more = in.text.mid(1).trimmed();
            if (!more.isEmpty())
                to += (to.isEmpty() ? QString() : QStringLiteral(" ")) + more;
            return;
        }
        lastInColumn_[column] = int(ingredients_.size());
        ingredients_ << ingredientLine(in);
    }

    // Lines into the field's text: wrapped lines joined, paragraph breaks kept.
    static QString joinWrapped(const QStringList& lines)
    {
        QStringList out;
        qsizetype previous = 0;
        for (const QString& raw : lines) {
            const QString line = raw.trimmed();
            if (line.isEmpty()) {
                if (!out.isEmpty() && !out.last().isEmpty())
                    out << QString();
                previous = 0;
                continue;
            }
            if (!out.isEmpty() && !out.last().isEmpty() && previous >= WrappedLength && !startsStep(line))
                out.last() += u' ' + line;
            else
                out << line;
            // A line ending in a space ended on purpose, however long it is.
            previous = raw.endsWith(u' ') ? 0 : raw.size();
        }
        while (!out.isEmpty() && out.last().isEmpty())
            out.removeLast();
        return out.join(u'\n');
    }

    bool finish()
    {
        inRecipe_ = false;
        if (binary_) {
            events_.problem(startLine_, QStringLiteral("the recipe holds binary data, not text"));
            return true;
        }
        // Paragraphs of the directions: tagged ones are fields of their own.
        QList<QStringList> paragraphs(1);
        for (const QString& line : std::as_const(directions_)) {
            if (line.trimmed().isEmpty()) {
                if (!paragraphs.last().isEmpty())
                    paragraphs.append(QStringList());
            } else {
                paragraphs.last() << line;
            }
        }
        QStringList instructions, notesTail;
        FieldValue description, time, notes;
        for (qsizetype i = 0; i < paragraphs.size(); ++i) {
            QStringList& p = paragraphs[i];
            if (p.isEmpty())
                continue;
            const QString first = p.first().trimmed();
            if (first.startsWith(u"Notes:")) {
                p.first() = afterTag(p.first());
                QStringList rest;
                for (qsizetype j = i; j < paragraphs.size(); ++j) {
                    if (j > i)
                        rest << QString();
                    rest += paragraphs[j];
                }
                notes = joinWrapped(rest);
                break;
            }
            if (first.startsWith(u"Description:")) {
                p.first() = afterTag(p.first());
                description = joinWrapped(p);
            } else if (first.startsWith(u"Preparation time:") && p.size() == 1) {
                time = first.mid(17).trimmed();
            } else if (first.startsWith(u"Source:") || first.startsWith(u"From:") ||
                       first.startsWith(u"Author:") || first.startsWith(u"Copyright")) {
                notesTail << joinWrapped(p);
            } else {
                if (!instructions.isEmpty())
                    instructions << QString();
                instructions += p;
            }
        }
        RecipeValues r;
        if (title_ && !title_->isEmpty())
            r[Field::RecipeName] = *title_;
        if (!categories_.isEmpty())
            r[Field::FoodCategoryID] = categories_;
        r[Field::RecipeDescription] = description;
        r[Field::TimeToPrepare] = time;
        if (!ingredients_.isEmpty())
            r[Field::Ingredients] = ingredients_.join(u'\n');
        if (!instructions.isEmpty())
            r[Field::Instructions] = joinWrapped(instructions);
        QStringList noteParts;
        if (!yield_.isEmpty())
            noteParts << yield_;
        if (notes)
            noteParts << *notes;
        noteParts += notesTail;
        if (!noteParts.isEmpty())
            r[Field::Notes] = noteParts.join(u'\n');
        if (!title_ && ingredients_.isEmpty() && instructions.isEmpty()) {
            events_.problem(startLine_, QStringLiteral("the recipe has no title and no text"));
            return true;
        }
        return events_.recipe(std::move(r), startLine_);
    }

    const ReadEvents& events_;
    bool inRecipe_ = false;
    bool binary_ = false;
    std::int64_t startLine_ = 0;
    Phase phase_ = Phase::Header;
    std::optional<QString> title_;
    QString categories_, yield_;
    QStringList ingredients_, directions_;
    int lastInColumn_[2] = {-1, -1};
};

// Appends `line` broken at spaces into pieces of at most `width`, each piece on a line of its own
// after `indent` (and `more` from the second on); a piece never starts like a new step, which the
// reader would keep apart. Returns the length of the last piece, whose line is left open.
qsizetype putWrapped(QString& out, QStringView line, qsizetype width, QLatin1StringView indent,
                     QLatin1StringView more = {})
{
    QStringView rest = line;
    bool first = true;
    const auto start = [&] {
        out += indent;
        if (!first)
            out += more;
        first = false;
    };
    while (rest.size() > width) {
        qsizetype at = rest.left(width + 1).lastIndexOf(u' ');
        while (at > 0 && startsStep(rest.mid(at + 1)))
            at = rest.left(at).lastIndexOf(u' ');
        if (at <= 0)
            break;
        start();
        out += rest.left(at).trimmed();
        out += u'\n';
        rest = rest.mid(at + 1);
    }
    start();
    out += rest;
    return rest.size();
}

// Calls `each` with every line of `text`, without its line break.
template <typename F> void forEachLine(QStringView text, F each)
{
    qsizetype from = 0;
    for (;;) {
        const qsizetype end = text.indexOf(u'\n', from);
        each(text.mid(from, (end < 0 ? text.size() : end) - from));
        if (end < 0)
            return;
        from = end + 1;
    }
}

void putText(QString& out, QLatin1StringView tag, QStringView text)
{
    bool first = true;
    QString tagged;
    forEachLine(text, [&](QStringView raw) {
        QStringView line = raw.trimmed();
        if (first && !tag.isEmpty()) {
            tagged = tag + u' ';
            tagged += line;
            line = tagged;
        }
        first = false;
        if (line.trimmed().isEmpty()) {
            out += u'\n';
            return;
        }
        // A long line that ends where the text does gets a trailing space, which tells the
        // reader not to join the next line to it.
        if (putWrapped(out, line, WriteWidth - 2, QLatin1StringView("  ")) + 2 >= WrappedLength)
            out += u' ';
        out += u'\n';
    });
    out += u'\n';
}

} // namespace

void readMealMaster(QIODevice& in, const ReadEvents& events)
{
    Parser parser(events);
    std::int64_t number = 0, consumed = 0;
    // Lines are cut from large reads: QIODevice::readLine allocates a buffer per line.
    QByteArray chunk;
    qsizetype at = 0;
    bool ended = false;
    while (!ended) {
        qsizetype end = chunk.indexOf('\n', at);
        if (end < 0) {
            const QByteArray more = in.read(1 << 20);
            if (more.isEmpty()) {
                ended = true;
                end = chunk.size();
                if (at == end)
                    break;
            } else {
                consumed += at;
                chunk = chunk.mid(at) + more;
                at = 0;
                if (events.progress)
                    events.progress(consumed);
                continue;
            }
        }
        ++number;
        if (!parser.line(decodeLine(QByteArrayView(chunk.constData() + at, end - at)), number))
            return;
        at = end + 1;
    }
    parser.end();
    if (events.progress)
        events.progress(in.pos());
}

void writeMealMaster(QIODevice& device, const RecipeValues& r)
{
    QString out;
    out.reserve(4096);
    out += QLatin1StringView("MMMMM----- Recipe via Meal-Master (tm) v8.05\n\n      Title: ");
    out += squeezeSpace(r[Field::RecipeName].value_or(QString()));
    out += QLatin1StringView("\n Categories: ");
    out += squeezeSpace(r[Field::FoodCategoryID].value_or(QString()));
    out += u'\n';
    // A yield the notes begin with goes where readers look for it.
    QStringView notes = r[Field::Notes] ? QStringView(*r[Field::Notes]) : QStringView();
    bool yieldTaken = false;
    if (notes.startsWith(u"Yield: ") || notes.startsWith(u"Servings: ")) {
        yieldTaken = true;
        const qsizetype end = notes.indexOf(u'\n');
        out += QLatin1StringView(notes.startsWith(u'Y') ? "      " : "   ");
        out += notes.left(end < 0 ? notes.size() : end).trimmed();
        notes = end < 0 ? QStringView() : notes.mid(end + 1);
    } else {
        out += QLatin1StringView("   Servings: 0");
    }
    out += QLatin1StringView("\n\n");
    if (const FieldValue& ingredients = r[Field::Ingredients]) {
        forEachLine(*ingredients, [&](QStringView raw) {
            const QStringView line = raw.trimmed();
            if (line.isEmpty())
                return;
            if (line.endsWith(u':') && !line.front().isDigit() && !line.contains(u"  ")) {
                out += QLatin1StringView("MMMMM-----");
                out += line.chopped(1);
                out += QLatin1StringView("-----\n");
                return;
            }
            putWrapped(out, line, WriteWidth - TextColumn - 1, QLatin1StringView("           "),
                       QLatin1StringView("-"));
            out += u'\n';
        });
    }
    out += u'\n';
    if (const FieldValue& description = r[Field::RecipeDescription])
        putText(out, QLatin1StringView("Description:"), *description);
    if (const FieldValue& time = r[Field::TimeToPrepare])
        putText(out, QLatin1StringView("Preparation time:"), squeezeSpace(*time));
    if (const FieldValue& instructions = r[Field::Instructions])
        putText(out, {}, *instructions);
    if (r[Field::Notes] && !(yieldTaken && notes.isEmpty()))
        putText(out, QLatin1StringView("Notes:"), notes);
    out += QLatin1StringView("MMMMM\n\n");
    device.write(out.toUtf8());
}

} // namespace pantrio::exchange
