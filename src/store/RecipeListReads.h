#pragma once

#include "RecipeListSource.h"

namespace pantrio {

// What a recipe list reads, for an engine other than a collection file (see RecipeListSource,
// whose calls these are). Called from several threads at once.
class RecipeListReads
{
public:
    virtual ~RecipeListReads() = default;

    virtual bool readAll(RecipeListRows& rows, const std::stop_token& stop) = 0;
    virtual std::optional<std::pair<QString, QString>> readNames(std::int64_t id) = 0;
    virtual std::vector<std::pair<std::int64_t, QString>> readTimes(const std::vector<std::int64_t>& ids) = 0;
    virtual bool readFoldedTimes(std::vector<std::pair<std::int64_t, std::string>>& out,
                                 const std::stop_token& stop) = 0;
    virtual bool matches(std::int64_t id, const SearchCondition& condition) = 0;
    // The recipes after `after` matching `condition` (text anywhere, ignoring accents: `folded`),
    // reading on at most `rows`; moves `after` and `offered` on. False once done.
    virtual bool filterNext(const SearchCondition& condition, const std::string& folded, std::int64_t& after,
                            RecipeListSource::OfferedRows& offered, std::vector<std::int64_t>& matches,
                            int rows, const std::stop_token& stop) = 0;
};

} // namespace pantrio
