#include "FindIndex.h"

#include "Sqlite.h"

#include <algorithm>
#include <cstring>

namespace pantrio {

namespace {
constexpr std::uint8_t Gone = 0x80;

std::optional<std::string> foldValue(const FieldValue& v)
{
    if (!v)
        return std::nullopt;
    return foldForMatch(*v);
}
} // namespace

void FindIndex::clear()
{
    loaded_ = false;
    ids_ = {};
    columns_ = {};
    flags_ = {};
    changed_ = {};
}

void FindIndex::beginLoad()
{
    clear();
    for (auto& c : columns_)
        c.starts.push_back(0);
}

// One row onto the end of every column; `write` puts a present key's folded text into a column.
template <typename KeyArray, typename Write>
void FindIndex::appendRow(std::int64_t id, const KeyArray& keys, Write write)
{
    std::uint8_t flags = 0;
    for (int f = 0; f < KeyCount; ++f) {
        Column& c = columns_[size_t(f)];
        if (const auto& key = keys[size_t(f)])
            write(c.text, *key);
        else
            flags |= std::uint8_t(1u << f);
        c.text += '\0';
        c.starts.push_back(c.text.size());
    }
    ids_.push_back(id);
    flags_.push_back(flags);
}

void FindIndex::addLoaded(std::int64_t id, const StoredKeys& keys)
{
    appendRow(id, keys, [](std::string& text, std::string_view stored) { appendFolded(text, stored); });
}

void FindIndex::load(sqlite::Statement& rows)
{
    beginLoad();
    while (rows.step()) {
        StoredKeys keys;
        for (int f = 0; f < KeyCount; ++f) {
            int size = 0;
            if (const char* data = rows.utf8(f + 1, &size))
                keys[size_t(f)] = std::string_view(data, size_t(size));
        }
        addLoaded(rows.int64(0), keys);
    }
    endLoad();
}

FindIndex::Keys FindIndex::keysOf(const RecipeValues& values)
{
    Keys keys;
    for (int k = 0; k < KeyCount; ++k)
        keys[size_t(k)] = foldValue(values[KeyFields[size_t(k)]]);
    return keys;
}

FindIndex::KeyTerms FindIndex::keyTerms(const SearchCondition& condition)
{
    KeyTerms terms;
    for (const auto& t : condition.terms()) {
        const auto key = std::find(KeyFields.begin(), KeyFields.end(), t.field);
        if (key != KeyFields.end())
            terms.push_back({int(key - KeyFields.begin()), &t.pattern});
    }
    return terms;
}

void FindIndex::append(std::int64_t id, const Keys& keys)
{
    appendRow(id, keys, [](std::string& text, const std::string& folded) { text += folded; });
}

std::optional<std::size_t> FindIndex::rowOf(std::int64_t id) const
{
    const auto it = std::lower_bound(ids_.begin(), ids_.end(), id);
    if (it == ids_.end() || *it != id)
        return std::nullopt;
    return std::size_t(it - ids_.begin());
}

void FindIndex::noteAppended(std::int64_t id, const RecipeValues& values)
{
    if (!loaded_)
        return;
    if (!ids_.empty() && id <= ids_.back()) {
        noteChanged(id, values);
        return;
    }
    append(id, keysOf(values));
}

void FindIndex::noteChanged(std::int64_t id, const RecipeValues& values)
{
    if (loaded_)
        changed_[id] = keysOf(values);
}

void FindIndex::noteDeleted(std::int64_t id)
{
    if (!loaded_)
        return;
    changed_.erase(id);
    if (const auto row = rowOf(id))
        flags_[*row] |= Gone;
}

bool FindIndex::keysMatch(const Keys& keys, const KeyTerms& terms)
{
    for (const auto& t : terms)
        if (keys[size_t(t.key)] && t.pattern->matchesFolded(*keys[size_t(t.key)]))
            return true;
    return false;
}

bool FindIndex::rowMatches(std::size_t row, const KeyTerms& terms) const
{
    for (const auto& t : terms) {
        if (flags_[row] & (1u << t.key))
            continue;
        const Column& c = columns_[size_t(t.key)];
        const std::string_view value(c.text.data() + c.starts[row], c.starts[row + 1] - c.starts[row] - 1);
        if (t.pattern->matchesFolded(value))
            return true;
    }
    return false;
}

// First row at or after `fromRow` whose field contains the term's text, skipping rows that
// are gone or edited (those are judged separately).
std::optional<std::size_t> FindIndex::scanTerm(const KeyTerm& term, std::size_t fromRow) const
{
    const std::string_view needle = *term.pattern->containedText();
    const Column& c = columns_[size_t(term.key)];
    const char* hay = c.text.data();
    const std::size_t size = c.text.size();
    std::size_t at = c.starts[fromRow];
    while (at < size) {
        // The needle holds no '\0', so a hit never spans two rows.
        const void* hit = memmem(hay + at, size - at, needle.data(), needle.size());
        if (!hit)
            return std::nullopt;
        const std::size_t offset = std::size_t(static_cast<const char*>(hit) - hay);
        const auto next = std::upper_bound(c.starts.begin(), c.starts.end(), offset);
        const std::size_t row = std::size_t(next - c.starts.begin()) - 1;
        if (!(flags_[row] & Gone) && !changed_.count(ids_[row]))
            return row;
        at = c.starts[row + 1];
    }
    return std::nullopt;
}

std::optional<std::int64_t> FindIndex::findAfter(const SearchCondition& condition, std::int64_t afterId) const
{
    const KeyTerms terms = keyTerms(condition);
    const std::size_t fromRow =
        std::size_t(std::upper_bound(ids_.begin(), ids_.end(), afterId) - ids_.begin());
    std::optional<std::int64_t> best;

    const bool scannable =
        std::all_of(terms.begin(), terms.end(), [](const KeyTerm& t) { return t.pattern->containedText(); });
    if (fromRow < ids_.size()) {
        if (scannable) {
            std::size_t limit = ids_.size();
            for (const auto& t : terms) {
                if (const auto row = scanTerm(t, fromRow); row && *row < limit)
                    limit = *row;
            }
            if (limit < ids_.size())
                best = ids_[limit];
        } else {
            for (std::size_t row = fromRow; row < ids_.size(); ++row) {
                if ((flags_[row] & Gone) || changed_.count(ids_[row]))
                    continue;
                if (rowMatches(row, terms)) {
                    best = ids_[row];
                    break;
                }
            }
        }
    }
    for (const auto& [id, keys] : changed_) {
        if (id > afterId && (!best || id < *best) && keysMatch(keys, terms))
            best = id;
    }
    return best;
}

} // namespace pantrio
