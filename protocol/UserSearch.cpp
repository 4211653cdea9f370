#include "protocol/UserSearch.h"

#include "protocol/KeyedLines.h"
#include "protocol/SplitList.h"

namespace warden {

std::string FormatUserSearch(const std::vector<UserHit>& hits) {
    std::vector<KeyedLine> lines;
    lines.reserve(hits.size());
    for (const UserHit& hit : hits) {
        std::string depts;
        for (const std::string& dept : hit.depts) depts += dept + ";";
        lines.push_back({{"account", hit.account}, {"name", hit.name}, {"depts", depts}});
    }
    return FormatKeyedLines(lines);
}

std::vector<UserHit> ParseUserSearch(std::string_view reply) {
    std::vector<UserHit> hits;
    for (const KeyedFields& fields : ParseKeyedLines(reply)) {
        hits.push_back(UserHit{FieldOf(fields, "account"), FieldOf(fields, "name"),
                               SplitList(FieldOf(fields, "depts"), ";")});
    }
    return hits;
}

}  // namespace warden
