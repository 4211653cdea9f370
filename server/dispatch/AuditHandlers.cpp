#include "server/dispatch/AuditHandlers.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <stdexcept>
#include <tuple>

#include "protocol/AuditRecord.h"
#include "protocol/ParamKeys.h"
#include "protocol/RequestNames.h"
#include "server/dispatch/Dispatcher.h"
#include "server/store/AuditTime.h"
#include "server/store/AuditTrail.h"

namespace warden {

namespace {

constexpr const char kBadTime[] = "error:时间格式不正确,请按 YYYY-MM-DD HH:MM:SS 填写(UTC时间)";
constexpr const char kBadPage[] = "error:分页参数不正确";
constexpr const char kReversedRange[] = "error:起始时间晚于结束时间";
constexpr const char kBadOutcome[] = "error:结果条件不正确,应为 success、refused 或 failed";

constexpr int64_t kDefaultPage = 100;
constexpr int64_t kLargestPage = 1000;

// An empty text, or a whole number that fits; nullopt for anything else.
std::optional<int64_t> OptionalNumber(const std::string& text, int64_t fallback) {
    if (text.empty()) return fallback;
    int64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string GetAuditLog(RequestContext& context) {
    if (!context.services.auditTrail) throw std::runtime_error("no audit trail");
    AuditFilter filter;
    // Bounds cover the period they name: "to=2024-05-01" includes that day.
    for (auto [key, bound, upper] :
         {std::tuple{key::kFrom, &filter.from, false}, std::tuple{key::kTo, &filter.to, true}}) {
        const std::string& text = context.Param(key);
        if (text.empty()) continue;
        auto parsed = ParseAuditTimeBound(text, upper);
        if (!parsed) return kBadTime;
        *bound = *parsed;
    }
    // Nothing can match a range that ends before it begins: that is a
    // mistake in the bounds, not an empty trail.
    if (!filter.from.empty() && !filter.to.empty() && filter.from > filter.to) {
        return kReversedRange;
    }
    filter.account = context.Param(key::kAccount);
    filter.targetText = context.Param(key::kTarget);
    filter.request = context.Param(key::kRequest);
    filter.outcome = context.Param(key::kOutcome);
    if (!filter.outcome.empty() && filter.outcome != audit_outcome::kSuccess &&
        filter.outcome != audit_outcome::kRefused && filter.outcome != audit_outcome::kFailed) {
        return kBadOutcome;
    }
    if (context.Param(key::kTotal) == "1") {
        return "total:" + std::to_string(context.services.auditTrail->Count(filter));
    }

    const std::string& beforeTime = context.Param(key::kBeforeTime);
    auto beforeId = OptionalNumber(context.Param(key::kBeforeId), 0);
    auto count = OptionalNumber(context.Param(key::kCount), kDefaultPage);
    if (!beforeId || !count || *count < 1) return kBadPage;
    if (!beforeTime.empty()) {
        // A cursor is the time of an entry as this server sent it: exact.
        auto exact = ParseAuditTimeBound(beforeTime, false);
        if (!exact || *exact != beforeTime) return kBadPage;
        filter.beforeTime = beforeTime;
        filter.beforeId = *beforeId;
    }
    filter.limit = std::min(*count, kLargestPage);
    return FormatAuditLog(context.services.auditTrail->Query(filter));
}

}  // namespace

void RegisterAuditHandlers(Dispatcher& dispatcher) {
    dispatcher.Register(req::kGetAuditLog, GetAuditLog);
}

}  // namespace warden
