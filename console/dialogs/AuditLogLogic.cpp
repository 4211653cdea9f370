#include "console/dialogs/AuditLogLogic.h"

#include <tuple>

#include "console/core/ConsoleTexts.h"
#include "console/core/ReplyMessage.h"
#include "console/dialogs/AuditLabels.h"
#include "console/dialogs/AuditTimes.h"
#include "console/dialogs/RequestParams.h"
#include "protocol/NameRules.h"
#include "protocol/ParamKeys.h"
#include "protocol/Replies.h"
#include "protocol/RequestNames.h"
#include "protocol/SplitList.h"

namespace warden::console {

namespace {

constexpr const char kUncarriable[] = "查询条件中不能含有字符 ` 和 ?";
constexpr const char kBadTime[] = "时间格式不正确, 请按 2024-05-01 或 2024-05-01 08:30 填写";
constexpr const char kReversed[] = "起始时间晚于结束时间, 请检查查询的时间范围";

}  // namespace

std::string AuditPageParams(const AuditFilterParams& filter, int count, const AuditRecord* after) {
    const std::string countText = std::to_string(count);
    std::vector<ParamItem> items = {{key::kFrom, filter.from},
                                    {key::kTo, filter.to},
                                    {key::kAccount, filter.account},
                                    {key::kTarget, filter.target},
                                    {key::kCount, countText}};
    // Only when set: an older server, which knows them not, answers as before.
    if (!filter.request.empty()) items.emplace_back(key::kRequest, filter.request);
    if (!filter.outcome.empty()) items.emplace_back(key::kOutcome, filter.outcome);
    const std::string afterId = after != nullptr ? std::to_string(after->id) : "";
    if (after != nullptr) {
        // The page continues after the last entry shown.
        items.emplace_back(key::kBeforeTime, after->time);
        items.emplace_back(key::kBeforeId, afterId);
    }
    return ComposeParams(items);
}

AuditLogLogic::AuditLogLogic(Transport& transport, MessageSink& sink, QTimeZone zone)
    : m_transport(transport), m_sink(sink), m_zone(std::move(zone)) {}

bool AuditLogLogic::Resolve(const AuditQuery& query, AuditFilterParams& filter) {
    for (const std::string* value :
         {&query.from, &query.to, &query.account, &query.target, &query.request, &query.outcome}) {
        if (!IsCarriableValue(*value)) {
            m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionHint, kUncarriable);
            return false;
        }
    }
    for (auto [typed, bound, upper] : {std::tuple{&query.from, &filter.from, false},
                                       std::tuple{&query.to, &filter.to, true}}) {
        if (Trim(*typed).empty()) continue;
        auto utc = LocalBoundToUtc(*typed, upper, m_zone);
        if (!utc) {
            m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionHint, kBadTime);
            return false;
        }
        *bound = *utc;
    }
    // Nothing could match: a mistake in the bounds, not an empty trail.
    if (!filter.from.empty() && !filter.to.empty() && filter.from > filter.to) {
        m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionHint, kReversed);
        return false;
    }
    filter.account = query.account;
    filter.target = query.target;
    filter.request = query.request;
    filter.outcome = query.outcome;
    return true;
}

bool AuditLogLogic::Search(const AuditQuery& query) {
    AuditFilterParams filter;
    if (!Resolve(query, filter)) return false;
    if (m_observer.beginReset) m_observer.beginReset();
    m_filter = std::move(filter);
    m_rows.clear();
    m_complete = false;
    m_wanted = kBatch;
    if (m_observer.endReset) m_observer.endReset();
    return ReadPage();
}

bool AuditLogLogic::LoadNextPage() {
    if (m_transport.Busy()) return !m_complete;
    if (m_complete || static_cast<int>(m_rows.size()) >= m_wanted) return false;
    ReadPage();
    return !m_complete && static_cast<int>(m_rows.size()) < m_wanted;
}

bool AuditLogLogic::ReadPage() {
    const std::string reply = m_transport.SendRequest(
        req::kGetAuditLog,
        AuditPageParams(m_filter, kPageSize, m_rows.empty() ? nullptr : &m_rows.back()));
    m_offline = reply.empty() && !m_transport.Connected();
    // Entries quote reply texts, "error:" among them: only a reply that
    // begins with it is a refusal.
    if (reply.empty() || reply.starts_with(reply::kErrorPrefix)) {
        // No reply: the transport has said why. A refusal: show it.
        ShowReplyMessage(m_sink, reply);
        m_complete = true;
        return false;
    }
    std::vector<AuditRecord> page = ParseAuditLog(reply);
    if (static_cast<int>(page.size()) < kPageSize) m_complete = true;
    if (page.empty()) return true;
    const int first = static_cast<int>(m_rows.size());
    if (m_observer.beginAppend)
        m_observer.beginAppend(first, first + static_cast<int>(page.size()) - 1);
    m_rows.insert(m_rows.end(), std::make_move_iterator(page.begin()),
                  std::make_move_iterator(page.end()));
    if (m_observer.endAppend) m_observer.endAppend();
    return true;
}

std::string AuditLogLogic::Csv(const std::vector<int>& rows) const {
    std::string out = AuditCsvHeader(m_zone);
    if (rows.empty()) {
        for (const AuditRecord& r : m_rows) out += AuditCsvLine(r, m_zone);
    } else {
        for (int row : rows) {
            if (row >= 0 && row < static_cast<int>(m_rows.size()))
                out += AuditCsvLine(m_rows[static_cast<size_t>(row)], m_zone);
        }
    }
    return out;
}

}  // namespace warden::console
