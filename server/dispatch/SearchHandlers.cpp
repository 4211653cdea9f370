#include "server/dispatch/SearchHandlers.h"

#include <charconv>

#include "protocol/NameRules.h"
#include "protocol/ParamKeys.h"
#include "protocol/RequestNames.h"
#include "protocol/SplitList.h"
#include "protocol/UserSearch.h"
#include "server/dispatch/Dispatcher.h"
#include "server/dispatch/ImAccess.h"

namespace warden {

namespace {

constexpr const char kTooShort[] = "error:搜索内容至少要有2个字符";
constexpr const char kTooLong[] = "error:搜索内容不能超过254个字符";
constexpr const char kControl[] = "error:搜索内容不能含有控制字符";
constexpr const char kBadCount[] = "error:数量须在1到500之间";

bool HoldsControl(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    }
    return false;
}

std::string SearchUsers(RequestContext& context) {
    // Blanks around the text are what a search box leaves, not what is sought.
    const std::string text(Trim(context.Param(key::kText)));
    const size_t characters = CharacterCount(text);
    if (characters < search_limits::kMinChars) return kTooShort;
    if (characters > search_limits::kMaxChars) return kTooLong;
    if (HoldsControl(text)) return kControl;

    int count = search_limits::kDefaultCount;
    if (const std::string& given = context.Param(key::kCount); !given.empty()) {
        auto [end, ec] = std::from_chars(given.data(), given.data() + given.size(), count);
        if (ec != std::errc() || end != given.data() + given.size() || count < 1 ||
            count > search_limits::kMaxCount) {
            return kBadCount;
        }
    }

    std::vector<UserHit> hits;
    const AdminScope* scope = context.scope;
    ImRootOf(context)->GetUserManager().SearchUsers(text, [&](UserMatch&& match) {
        UserHit hit{std::move(match.account), std::move(match.name), {}};
        for (std::string& dept : match.depts) {
            if (scope == nullptr || scope->Covers(dept)) hit.depts.push_back("\\" + dept);
        }
        // The same rule that lets him read a user's record: a department in scope.
        if (scope != nullptr && hit.depts.empty()) return true;
        hits.push_back(std::move(hit));
        return hits.size() < static_cast<size_t>(count);
    });
    return FormatUserSearch(hits);
}

}  // namespace

void RegisterSearchHandlers(Dispatcher& dispatcher) {
    dispatcher.Register(req::kSearchUsers, SearchUsers);
}

}  // namespace warden
