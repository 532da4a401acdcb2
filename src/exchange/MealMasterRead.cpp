#include "MealMasterLines.h"
#include "RecipeFormats.h"
#include "RecipeText.h"

#include <QStringList>

namespace pantrio::exchange {

using namespace mealmaster;

namespace {

// No recipe line is anywhere near this long; a longer one is not a recipe's.
constexpr qsizetype MaxLine = 1 << 20;
constexpr qsizetype ReadSize = 1 << 20;
// The DOS end-of-file mark: files joined together have one where each ended.
constexpr char EndOfFile = 0x1A;

// Control characters are no text: vertical tab and form feed are blank space, the rest (NUL,
// the old DOS paragraph mark 0x14, ...) is dropped.
QString withoutControls(QString line)
{
    const auto isControl = [](QChar c) { return c.unicode() < 0x20 && c != u'\t'; };
    unsigned char any = 0; // no branches: many characters at once
    const auto* p = reinterpret_cast<const char16_t*>(line.constData());
    for (const char16_t* end = p + line.size(); p != end; ++p)
        any |= (*p < 0x20) & (*p != u'\t');
    if (!any)
        return line;
    QString out;
    out.reserve(line.size());
    for (QChar c : std::as_const(line)) {
        if (c == u'\v' || c == u'\f')
            out += u' ';
        else if (!isControl(c))
            out += c;
    }
    return out;
}

// The lines of a file, ended by LF, CR LF or a CR alone, read in large pieces: a line is never
// copied more than twice, and one longer than MaxLine is skipped, not held.
class LineSplitter
{
public:
    explicit LineSplitter(QIODevice& in) : in_(in) {}

    // The next line without its end; false after the last. A line over MaxLine comes back empty
    // with `tooLong` set.
    bool next(QByteArrayView& line, bool& tooLong)
    {
        tooLong = false;
        for (;;) {
            const char* begin = buffer_.constData() + at_;
            const char* end = buffer_.constData() + buffer_.size();
            const char* p = begin;
            while (p != end && *p != '\n' && *p != '\r')
                ++p;
            // A CR at the end of what is held may be the first half of a CR LF.
            if (p != end && (p + 1 != end || *p == '\n' || ended_)) {
                line = tooLong ? QByteArrayView() : QByteArrayView(begin, p - begin);
                at_ = p - buffer_.constData() + 1;
                if (*p == '\r' && p + 1 != end && p[1] == '\n')
                    ++at_;
                return true;
            }
            if (ended_) {
                if (begin == end && !tooLong)
                    return false;
                line = tooLong ? QByteArrayView() : QByteArrayView(begin, end - begin);
                at_ = buffer_.size();
                return true;
            }
            if (end - begin > MaxLine) {
                tooLong = true;
                at_ = p == end ? buffer_.size() : buffer_.size() - 1;
            }
            consumed_ += at_;
            buffer_.remove(0, at_);
            at_ = 0;
            const QByteArray more = in_.read(ReadSize);
            if (more.isEmpty())
                ended_ = true;
            else
                buffer_ += more;
        }
    }

    // Bytes read so far, counted in whole reads.
    std::int64_t consumed() const { return consumed_; }
    std::int64_t held() const { return buffer_.size(); }

private:
    QIODevice& in_;
    QByteArray buffer_;
    qsizetype at_ = 0;
    bool ended_ = false;
    std::int64_t consumed_ = 0;
};

// The tag blanked out, so that the line keeps its length for telling wrapped lines apart.
QString afterTag(const QString& line)
{
    const qsizetype at = line.indexOf(u':') + 1;
    return QString(at, u' ') + line.mid(at);
}

// Lines into the field's text: wrapped lines joined, paragraph breaks kept, escape marks taken off.
QString joinWrapped(const QStringList& lines)
{
    QStringList out;
    qsizetype previous = 0;
    for (const QString& raw : lines) {
        const QStringView line = QStringView(raw).trimmed();
        if (line.isEmpty()) {
            if (!out.isEmpty() && !out.last().isEmpty())
                out << QString();
            previous = 0;
            continue;
        }
        const QStringView text = withoutEscapeMark(line);
        if (!out.isEmpty() && !out.last().isEmpty() && previous >= WrappedLength && !startsStep(line))
            out.last().append(u' ').append(text);
        else
            out << text.toString();
        // A line ending in a space ended on purpose, however long it is.
        previous = raw.endsWith(u' ') ? 0 : raw.size();
    }
    while (!out.isEmpty() && out.last().isEmpty())
        out.removeLast();
    return out.join(u'\n');
}

class Parser
{
public:
    explicit Parser(const ReadEvents& events) : events_(events) {}

    // Returns false when the reader is to stop.
    bool line(const QString& text, std::int64_t number)
    {
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

    void tooLong(std::int64_t number)
    {
        if (inRecipe_ && !longLine_)
            longLine_ = number;
    }

    bool end() { return !inRecipe_ || finish(); }

private:
    enum class Phase { Header, Ingredients, Directions };

    void start(std::int64_t number)
    {
        inRecipe_ = true;
        longLine_ = 0;
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
            const qsizetype colon = trimmed.indexOf(u':');
            const QStringView value = trimmed.mid(colon + 1).trimmed();
            if (!value.isEmpty() && value != u"0")
                yield_ = trimmed.left(colon + 1).toString().append(u' ').append(value);
        } else {
            phase_ = Phase::Ingredients;
            ingredient(text, trimmed);
        }
    }

    void ingredient(const QString& text, QStringView trimmed)
    {
        if (trimmed.isEmpty())
            return;
        if (const QStringView section = sectionName(trimmed); !section.isEmpty()) {
            ingredients_ << section.toString() + u':';
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

    void add(Ingredient& in, int column)
    {
        const bool textOnly = in.amount.isEmpty() && in.unit.isEmpty();
        if (textOnly && in.text.startsWith(u'-') && lastInColumn_[column] >= 0) {
            QString& to = ingredients_[lastInColumn_[column]];
            const QStringView more = QStringView(in.text).mid(1).trimmed();
            if (!more.isEmpty())
                (to.isEmpty() ? to : to.append(u' ')).append(more);
            return;
        }
        if (textOnly && in.text.startsWith(u'\\'))
            in.text = withoutEscapeMark(in.text).toString();
        lastInColumn_[column] = int(ingredients_.size());
        ingredients_ << ingredientLine(in);
    }

    struct Directions
    {
        QStringList instructions, notesTail;
        FieldValue description, time, notes;
    };

    // Paragraphs of the directions: tagged ones are fields of their own.
    Directions directions() const
    {
        QList<QStringList> paragraphs(1);
        for (const QString& line : directions_) {
            if (QStringView(line).trimmed().isEmpty()) {
                if (!paragraphs.last().isEmpty())
                    paragraphs.append(QStringList());
            } else {
                paragraphs.last() << line;
            }
        }
        Directions d;
        for (qsizetype i = 0; i < paragraphs.size(); ++i) {
            QStringList& p = paragraphs[i];
            if (p.isEmpty())
                continue;
            const QStringView first = QStringView(p.first()).trimmed();
            if (first.startsWith(u"Notes:")) {
                p.first() = afterTag(p.first());
                QStringList rest;
                for (qsizetype j = i; j < paragraphs.size(); ++j) {
                    if (j > i)
                        rest << QString();
                    rest += paragraphs[j];
                }
                d.notes = joinWrapped(rest);
                break;
            }
            if (first.startsWith(u"Description:")) {
                p.first() = afterTag(p.first());
                const QString text = joinWrapped(p);
                d.description = d.description ? d.description->append(u"\n\n").append(text) : text;
                continue;
            }
            if (first.startsWith(u"Preparation time:")) {
                QStringList tagged = p;
                tagged.first() = afterTag(tagged.first());
                if (QString time = joinWrapped(tagged); !time.contains(u'\n')) {
                    d.time = time;
                    continue;
                }
            } else if (first.startsWith(u"Source:") || first.startsWith(u"From:") ||
                       first.startsWith(u"Author:") || first.startsWith(u"Copyright")) {
                d.notesTail << joinWrapped(p);
                continue;
            }
            if (!d.instructions.isEmpty())
                d.instructions << QString();
            d.instructions += p;
        }
        return d;
    }

    bool finish()
    {
        inRecipe_ = false;
        if (longLine_) {
            events_.problem(startLine_, QStringLiteral("line %1 is longer than %2 MB, which no recipe's is")
                                            .arg(longLine_)
                                            .arg(MaxLine >> 20));
            return true;
        }
        const Directions d = directions();
        RecipeValues r;
        if (title_ && !title_->isEmpty())
            r[Field::RecipeName] = *title_;
        if (!categories_.isEmpty())
            r[Field::FoodCategoryID] = categories_;
        r[Field::RecipeDescription] = d.description;
        r[Field::TimeToPrepare] = d.time;
        if (!ingredients_.isEmpty())
            r[Field::Ingredients] = ingredients_.join(u'\n');
        if (!d.instructions.isEmpty())
            r[Field::Instructions] = joinWrapped(d.instructions);
        QStringList noteParts;
        if (!yield_.isEmpty())
            noteParts << yield_;
        if (d.notes)
            noteParts << *d.notes;
        noteParts += d.notesTail;
        if (!noteParts.isEmpty())
            r[Field::Notes] = noteParts.join(u'\n');
        if (!title_ && ingredients_.isEmpty() && d.instructions.isEmpty()) {
            events_.problem(startLine_, QStringLiteral("the recipe has no title and no text"));
            return true;
        }
        return events_.recipe(std::move(r), startLine_);
    }

    const ReadEvents& events_;
    bool inRecipe_ = false;
    std::int64_t longLine_ = 0;
    std::int64_t startLine_ = 0;
    Phase phase_ = Phase::Header;
    std::optional<QString> title_;
    QString categories_, yield_;
    QStringList ingredients_, directions_;
    int lastInColumn_[2] = {-1, -1};
};

} // namespace

bool holdsMealMasterHeader(QByteArrayView head)
{
    qsizetype start = 0;
    while (start < head.size()) {
        qsizetype end = start;
        while (end < head.size() && head[end] != '\n' && head[end] != '\r' && head[end] != EndOfFile)
            ++end;
        const QByteArrayView line = head.sliced(start, end - start);
        // Only lines with the dashes every header has are decoded; the words are then looked for
        // as the reader looks for them, past control characters and in any letter case.
        if (line.count('-') >= 5 && isHeader(withoutControls(decodeLine(line)).trimmed()))
            return true;
        start = end + 1;
    }
    return false;
}

void readMealMaster(QIODevice& in, const ReadEvents& events)
{
    Parser parser(events);
    LineSplitter lines(in);
    std::int64_t number = 0, reported = 0;
    QByteArrayView line;
    bool tooLong = false;
    while (lines.next(line, tooLong)) {
        ++number;
        if (tooLong) {
            parser.tooLong(number);
            continue;
        }
        for (;;) {
            const qsizetype mark = line.indexOf(EndOfFile);
            if (!parser.line(withoutControls(decodeLine(mark < 0 ? line : line.first(mark))), number))
                return;
            if (mark < 0)
                break;
            line = line.sliced(mark + 1);
        }
        if (events.progress && lines.consumed() != reported)
            events.progress(reported = lines.consumed());
    }
    parser.end();
    if (events.progress)
        events.progress(lines.consumed() + lines.held());
}

} // namespace pantrio::exchange
