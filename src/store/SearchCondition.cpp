#include "SearchCondition.h"
#include "ShortText.h"

#include "StoreError.h"
#include "TextFolding.h"

#include <QStringList>

#include <algorithm>
#include <cstring>

namespace pantrio {

void appendFolded(std::string& out, std::string_view utf8)
{
    const std::size_t start = out.size();
    out.append(utf8);
    for (std::size_t i = start; i < out.size(); ++i) {
        const auto u = static_cast<unsigned char>(out[i]);
        if (u >= 0x80) {
            out.resize(start);
            out += QString::fromUtf8(utf8.data(), qsizetype(utf8.size())).toCaseFolded().toStdString();
            return;
        }
        if (u >= 'A' && u <= 'Z')
            out[i] = char(u + ('a' - 'A'));
    }
}

std::string foldForMatch(std::string_view utf8)
{
    std::string out;
    appendFolded(out, utf8);
    return out;
}

std::string foldForMatch(const QString& text)
{
    return text.toCaseFolded().toStdString();
}

LikePattern::LikePattern(const QString& pattern)
{
    const QStringList runs = pattern.split(QLatin1Char('*'));
    anchoredStart_ = !pattern.startsWith(QLatin1Char('*'));
    anchoredEnd_ = !pattern.endsWith(QLatin1Char('*'));
    for (const QString& run : runs)
        if (!run.isEmpty())
            pieces_.push_back(foldForMatch(run));
    if (pieces_.empty() && anchoredStart_ && anchoredEnd_)
        pieces_.emplace_back(); // the empty pattern matches only the empty text
}

LikePattern LikePattern::containingFolded(std::string folded, bool loose)
{
    LikePattern p;
    p.anchoredStart_ = false;
    p.anchoredEnd_ = false;
    p.loose_ = loose;
    if (!folded.empty())
        p.pieces_.push_back(std::move(folded));
    return p;
}

LikePattern LikePattern::containing(const QString& text)
{
    return containingFolded(foldForMatch(text), false);
}

LikePattern LikePattern::containingLoosely(const QString& text)
{
    return containingFolded(foldLoosely(text.toStdString()), true);
}

std::optional<std::string_view> LikePattern::containedText() const
{
    if (!anchoredStart_ && !anchoredEnd_ && pieces_.size() == 1 && !pieces_.front().empty()
        && pieces_.front().find('\0') == std::string::npos)
        return std::string_view(pieces_.front());
    return std::nullopt;
}

bool LikePattern::matchesFolded(std::string_view value) const
{
    if (pieces_.empty())
        return true; // only stars
    std::size_t from = 0;
    std::size_t end = value.size();
    std::size_t first = 0;
    std::size_t last = pieces_.size();
    if (anchoredStart_) {
        const std::string& p = pieces_.front();
        if (value.substr(0, p.size()) != p)
            return false;
        from = p.size();
        first = 1;
        if (pieces_.size() == 1 && anchoredEnd_)
            return value.size() == p.size();
    }
    if (anchoredEnd_ && last > first) {
        const std::string& p = pieces_.back();
        if (p.size() > end - from || value.substr(end - p.size()) != p)
            return false;
        end -= p.size();
        --last;
    }
    for (std::size_t i = first; i < last; ++i) {
        const std::size_t at = value.substr(0, end).find(pieces_[i], from);
        if (at == std::string_view::npos)
            return false;
        from = at + pieces_[i].size();
    }
    return true;
}

bool LikePattern::matches(const FieldValue& value) const
{
    if (!value)
        return false;
    return matchesFolded(loose_ ? foldLoosely(value->toStdString()) : foldForMatch(*value));
}

namespace {

class Parser
{
public:
    explicit Parser(const QString& text) : s_(text) {}

    SearchCondition::Term term()
    {
        const Field field = fieldName();
        if (!keyword(u"like"))
            bad(QStringLiteral("the word \"like\" is missing after the field name"));
        return {field, LikePattern(quoted())};
    }
    bool keyword(QStringView word)
    {
        skipBlanks();
        if (s_.mid(i_, word.size()).compare(word, Qt::CaseInsensitive) != 0)
            return false;
        const qsizetype after = i_ + word.size();
        if (after < s_.size() && (s_[after].isLetterOrNumber() || s_[after] == QLatin1Char('_')))
            return false;
        i_ = after;
        return true;
    }
    bool atEnd()
    {
        skipBlanks();
        return i_ >= s_.size();
    }
    [[noreturn]] void bad(const QString& why) const
    {
        throw StoreError(
            StoreError::Kind::BadCondition,
            QStringLiteral("The search condition \"%1\" cannot be used: %2.").arg(shortText(s_), why));
    }

private:
    void skipBlanks()
    {
        while (i_ < s_.size() && s_[i_].isSpace())
            ++i_;
    }
    Field fieldName()
    {
        skipBlanks();
        QString name;
        if (i_ < s_.size() && s_[i_] == QLatin1Char('[')) {
            const qsizetype close = s_.indexOf(QLatin1Char(']'), i_ + 1);
            if (close < 0)
                bad(QStringLiteral("a field name in brackets is not closed"));
            name = s_.mid(i_ + 1, close - i_ - 1);
            i_ = close + 1;
        } else {
            const qsizetype start = i_;
            while (i_ < s_.size() && (s_[i_].isLetterOrNumber() || s_[i_] == QLatin1Char('_')))
                ++i_;
            name = s_.mid(start, i_ - start);
        }
        if (name.isEmpty())
            bad(QStringLiteral("a field name is missing"));
        const auto field = fieldByName(name);
        if (!field)
            bad(QStringLiteral("there is no field \"%1\"").arg(shortText(name)));
        return *field;
    }
    QString quoted()
    {
        skipBlanks();
        if (i_ >= s_.size() || s_[i_] != QLatin1Char('\''))
            bad(QStringLiteral("the pattern must stand in single quotes"));
        QString out;
        for (++i_; i_ < s_.size(); ++i_) {
            if (s_[i_] == QLatin1Char('\'')) {
                if (i_ + 1 < s_.size() && s_[i_ + 1] == QLatin1Char('\'')) {
                    out += QLatin1Char('\'');
                    ++i_;
                    continue;
                }
                ++i_;
                return out;
            }
            out += s_[i_];
        }
        bad(QStringLiteral("the quoted pattern is not closed"));
    }

    QString s_;
    qsizetype i_ = 0;
};

} // namespace

SearchCondition SearchCondition::anyContains(std::span<const Field> fields, const QString& text)
{
    SearchCondition c;
    for (Field f : fields)
        c.terms_.push_back({f, LikePattern::containing(text)});
    return c;
}

SearchCondition SearchCondition::anyContains(std::initializer_list<Field> fields, const QString& text)
{
    return anyContains(std::span(fields.begin(), fields.size()), text);
}

SearchCondition SearchCondition::anyContainsLoosely(std::span<const Field> fields, const QString& text)
{
    SearchCondition c;
    for (Field f : fields)
        c.terms_.push_back({f, LikePattern::containingLoosely(text)});
    return c;
}

SearchCondition SearchCondition::anyLike(std::span<const Field> fields, const QString& pattern)
{
    SearchCondition c;
    for (Field f : fields)
        c.terms_.push_back({f, LikePattern(pattern)});
    return c;
}

SearchCondition SearchCondition::anyLike(std::initializer_list<Field> fields, const QString& pattern)
{
    return anyLike(std::span(fields.begin(), fields.size()), pattern);
}

SearchCondition SearchCondition::like(Field field, const QString& pattern)
{
    return anyLike({field}, pattern);
}

SearchCondition SearchCondition::parse(const QString& text)
{
    Parser p(text);
    SearchCondition c;
    c.terms_.push_back(p.term());
    while (!p.atEnd()) {
        if (!p.keyword(u"or"))
            p.bad(QStringLiteral("unexpected text after a pattern"));
        c.terms_.push_back(p.term());
    }
    return c;
}

bool SearchCondition::matches(const RecipeValues& values) const
{
    return std::any_of(terms_.begin(), terms_.end(), [&](const Term& t) { return t.pattern.matches(values[t.field]); });
}

bool SearchCondition::usesOnly(std::span<const Field> fields) const
{
    return std::all_of(terms_.begin(), terms_.end(), [&](const Term& t) {
        return std::find(fields.begin(), fields.end(), t.field) != fields.end();
    });
}

bool SearchCondition::ignoresAccents() const
{
    return std::any_of(terms_.begin(), terms_.end(), [](const Term& t) { return t.pattern.ignoresAccents(); });
}

} // namespace pantrio
