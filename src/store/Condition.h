#pragma once

#include "RecipeTable.h"

#include <QString>

#include <optional>
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

    bool matchesFolded(std::string_view foldedValue) const;
    bool matches(const FieldValue& value) const; // no value never matches

    // For "*text*" with non-empty text: the folded text, which a plain substring scan can find.
    std::optional<std::string_view> containedText() const;

private:
    std::vector<std::string> pieces_; // folded literal runs between the stars
    bool anchoredStart_ = true;
    bool anchoredEnd_ = true;
};

// A search condition: `field like 'pattern'` terms joined by `or`. Keywords in any letter case;
// field names as in the table, in [brackets] when they hold a blank; an apostrophe inside
// the quotes is written twice.
class Condition
{
public:
    struct Term
    {
        int field; // index into RecipeTable::Fields
        LikePattern pattern;
    };

    // Throws StoreError (BadCondition) with a message that says what is wrong.
    static Condition parse(const QString& text);

    const std::vector<Term>& terms() const { return terms_; }
    bool matches(const RecipeValues& values) const;
    // True when every term is on one of the first `count` fields.
    bool usesOnlyFirstFields(int count) const;

private:
    std::vector<Term> terms_;
};

} // namespace pantrio
