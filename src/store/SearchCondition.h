#pragma once

#include "RecipeFields.h"

#include <QString>

#include <initializer_list>

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pantrio {

// Letter case folded for matching, as UTF-8. ASCII text takes a fast path.
std::string foldForMatch(std::string_view utf8);
void appendFolded(std::string& out, std::string_view utf8);
std::string foldForMatch(const QString& text);

// A like-pattern: `*` stands for any run of characters, every other character for itself.
// Matching ignores letter case.
class LikePattern
{
public:
    explicit LikePattern(const QString& pattern);
    // Text anywhere in the value, every character standing for itself, a `*` too.
    static LikePattern containing(const QString& text);
    // The same, ignoring accents and other marks as well as letter case (see TextFolding.h).
    static LikePattern containingLoosely(const QString& text);
    bool ignoresAccents() const { return loose_; }

    bool matchesFolded(std::string_view foldedValue) const;
    bool matches(const FieldValue& value) const; // no value never matches

    // For "*text*" with non-empty text: the folded text, which a plain substring scan can find.
    // `matchesFolded` and this text are folded loosely when the pattern ignores accents.
    std::optional<std::string_view> containedText() const;

private:
    LikePattern() = default;
    static LikePattern containingFolded(std::string folded, bool loose);

    std::vector<std::string> pieces_; // folded literal runs between the stars
    bool anchoredStart_ = true;
    bool anchoredEnd_ = true;
    bool loose_ = false;
};

// A search condition: any of its terms matches, each a field and a like-pattern.
class SearchCondition
{
public:
    struct Term
    {
        Field field;
        LikePattern pattern;
    };

    // Any of `fields` contains `text`; the text is taken as it is, a `*` or `'` included.
    static SearchCondition anyContains(std::span<const Field> fields, const QString& text);
    static SearchCondition anyContains(std::initializer_list<Field> fields, const QString& text);
    // Any of `fields` contains `text`, ignoring accents and letter case.
    static SearchCondition anyContainsLoosely(std::span<const Field> fields, const QString& text);
    // Any of `fields` is like `pattern`, where `*` stands for any run of characters.
    static SearchCondition anyLike(std::span<const Field> fields, const QString& pattern);
    static SearchCondition anyLike(std::initializer_list<Field> fields, const QString& pattern);
    static SearchCondition like(Field field, const QString& pattern);

    // The written form: `field like 'pattern'` terms joined by `or`. Keywords in any letter
    // case; field names as in the table, in [brackets] when they hold a blank; an apostrophe
    // inside the quotes is written twice. Throws StoreError (BadCondition) with a message
    // that says what is wrong.
    static SearchCondition parse(const QString& text);

    const std::vector<Term>& terms() const { return terms_; }
    bool matches(const RecipeValues& values) const;
    bool usesOnly(std::span<const Field> fields) const;
    bool ignoresAccents() const;

private:
    std::vector<Term> terms_;
};

} // namespace pantrio
