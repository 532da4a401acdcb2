#include "ServerTerms.h"

#include "ServerSchema.h"
#include "TextFolding.h"

#include <algorithm>
#include <bit>
#include <charconv>

namespace pantrio::ServerTerms {

namespace {

// As the file's word index: a part found in very many words narrows little and costs much.
constexpr int MostWordsLookedUp = 2048;

} // namespace

// FNV-1a: fixed by its definition, unlike the hashes of a library that may change with it.
std::int32_t termOf(std::string_view word)
{
    std::uint32_t h = 2166136261u;
    for (char c : word) {
        h ^= static_cast<unsigned char>(c);
        h *= 16777619u;
    }
    return std::bit_cast<std::int32_t>(h);
}

void Numbering::addField(std::string_view utf8)
{
    const std::size_t from = folded_.size();
    appendFoldedLoosely(folded_, utf8);
    forEachWord(std::string_view(folded_).substr(from),
                [&](std::string_view w) { add(w, std::uint32_t(w.data() - folded_.data())); });
}

// Each word once a recipe, by its number and then its bytes: a table of the recipe's own,
// since sorting the numbers or a string made for each word took a third of a copy's time here.
void Numbering::add(std::string_view word, std::uint32_t at)
{
    const std::int32_t term = termOf(word);
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = std::uint32_t(term) & mask;
    for (; slots_[i].size; i = (i + 1) & mask)
        if (slots_[i].term == term && std::string_view(folded_).substr(slots_[i].at, slots_[i].size) == word)
            return;
    slots_[i] = Slot{term, at, std::uint32_t(word.size())};
    used_.push_back(i);
    if (known_.find(word) == known_.end()) {
        known_.emplace(word);
        added_.emplace_back(word);
    }
    if (used_.size() * 2 > slots_.size()) { // kept at most half full
        std::vector<Slot> old(slots_.size() * 2);
        old.swap(slots_);
        const std::size_t wider = slots_.size() - 1;
        used_.clear();
        for (const Slot& s : old) {
            if (!s.size)
                continue;
            std::size_t j = std::uint32_t(s.term) & wider;
            while (slots_[j].size)
                j = (j + 1) & wider;
            slots_[j] = s;
            used_.push_back(j);
        }
    }
}

// In order: the server's index sorts what it is given, here faster.
void Numbering::appendTerms(QByteArray& out)
{
    terms_.clear();
    for (std::size_t i : used_) {
        terms_.push_back(slots_[i].term);
        slots_[i].size = 0;
    }
    used_.clear();
    folded_.clear();
    std::sort(terms_.begin(), terms_.end());
    out += '{';
    char digits[16];
    for (std::size_t n = 0; n < terms_.size(); ++n) {
        if (n)
            out += ',';
        out.append(digits, std::to_chars(digits, digits + sizeof digits, terms_[n]).ptr - digits);
    }
    out += '}';
}

std::pair<QByteArray, QByteArray> numbered(const RecipeValues& values)
{
    Numbering numbering;
    for (Field f : allFields)
        if (values[f])
            numbering.addField(values[f]->toStdString());
    QByteArray terms;
    numbering.appendTerms(terms);
    return {std::move(terms), wordList(numbering.takeAdded())};
}

QByteArray wordList(const std::vector<std::string>& words)
{
    QByteArray out;
    for (const std::string& w : words) {
        if (!out.isEmpty())
            out += ',';
        out += QByteArray::fromRawData(w.data(), qsizetype(w.size())).toHex();
    }
    return out;
}

QByteArray addWordsSql(int parameter)
{
    return QByteArray("INSERT INTO ") + ServerSchema::VocabularyTable +
           " SELECT DISTINCT decode(unnest(string_to_array($" + QByteArray::number(parameter) +
           ", ',')), 'hex') ON CONFLICT DO NOTHING";
}

std::optional<QByteArray> rowsHolding(const Exec& exec, std::string_view folded,
                                      std::vector<pg::Param>& params)
{
    std::vector<std::string> parts;
    forEachWord(folded, [&](std::string_view w) { parts.emplace_back(w.substr(0, WordStrideBytes)); });
    if (parts.empty() || folded.find('\0') != std::string_view::npos)
        return std::nullopt;
    std::sort(parts.begin(), parts.end()); // each looked up once: its words go to its first entry
    parts.erase(std::unique(parts.begin(), parts.end()), parts.end());
    static const QByteArray sql =
        QByteArray("SELECT p.part, encode(v.word, 'hex') FROM unnest(string_to_array($1, ',')) p(part) "
                   "CROSS JOIN LATERAL (SELECT word FROM ") +
        ServerSchema::VocabularyTable + " WHERE position(decode(p.part, 'hex') IN word) > 0 LIMIT " +
        QByteArray::number(MostWordsLookedUp + 1) + ") v";
    const QByteArray partList = wordList(parts);
    const pg::Result found = exec(sql, {partList});
    std::vector<std::pair<QByteArray, std::vector<std::int32_t>>> terms;
    for (const QByteArray& part : partList.split(','))
        terms.emplace_back(part, std::vector<std::int32_t>());
    for (int i = 0; i < found.rows(); ++i) {
        const QByteArray part = found.text(i, 0).value_or(QString()).toLatin1();
        const QByteArray word = QByteArray::fromHex(found.text(i, 1).value_or(QString()).toLatin1());
        const auto at =
            std::find_if(terms.begin(), terms.end(), [&](const auto& t) { return t.first == part; });
        if (at != terms.end())
            at->second.push_back(termOf(std::string_view(word.constData(), std::size_t(word.size()))));
    }
    if (std::any_of(terms.begin(), terms.end(),
                    [](const auto& t) { return t.second.size() > std::size_t(MostWordsLookedUp); }))
        return std::nullopt;
    QByteArray held;
    for (const auto& [part, numbers] : terms) {
        params.push_back(pg::integerArray(numbers));
        held += QByteArray(held.isEmpty() ? "(" : " AND ") + ServerSchema::TermsColumn + " && $" +
                QByteArray::number(params.size()) + "::integer[]";
    }
    return "(" + held + ") OR " + ServerSchema::TermsColumn + " IS NULL)";
}

std::vector<std::int64_t> idsHolding(const Exec& exec, const QByteArray& held,
                                     const std::vector<pg::Param>& params)
{
    const QByteArray sql = QByteArray("SELECT string_agg(id::text, ',') FROM ") + ServerSchema::Table +
                           " WHERE id > $1 AND " + held;
    std::vector<std::int64_t> ids = ServerSchema::idsOf(exec(sql, params));
    std::sort(ids.begin(), ids.end());
    return ids;
}

} // namespace pantrio::ServerTerms
