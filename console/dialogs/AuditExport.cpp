#include "console/dialogs/AuditExport.h"

#include <charconv>
#include <system_error>

#include "console/core/ConsoleTexts.h"
#include "console/core/ReplyMessage.h"
#include "console/dialogs/AuditLabels.h"
#include "console/dialogs/CsvText.h"
#include "protocol/ParamKeys.h"
#include "protocol/Replies.h"
#include "protocol/RequestNames.h"
#include "protocol/SplitList.h"

namespace warden::console {

namespace {

constexpr const char kCannotWrite[] = "无法写入文件";
constexpr const char kInterrupted[] = "导出中断, 文件没有改动";
constexpr const char kTotalPrefix[] = "total:";

}  // namespace

AuditExport::AuditExport(Transport& transport, MessageSink& sink, QTimeZone zone)
    : m_transport(transport), m_sink(sink), m_zone(std::move(zone)) {}

AuditExport::~AuditExport() {
    Cancel();
}

std::optional<int64_t> AuditExport::CountMatching(const AuditFilterParams& filter) {
    const std::string reply = m_transport.SendRequest(
        req::kGetAuditLog, AuditPageParams(filter, 1, nullptr) + "`" + key::kTotal + "=1");
    if (reply.empty() || reply.starts_with(reply::kErrorPrefix)) {
        ShowReplyMessage(m_sink, reply);
        return std::nullopt;
    }
    if (!reply.starts_with(kTotalPrefix)) return -1;  // a page: the server cannot count
    int64_t total = -1;
    const std::string_view number = Trim(std::string_view(reply).substr(sizeof kTotalPrefix - 1));
    std::from_chars(number.data(), number.data() + number.size(), total);
    return total;
}

bool AuditExport::Start(const AuditFilterParams& filter, const std::filesystem::path& file) {
    Cancel();
    m_filter = filter;
    m_file = file;
    m_part = file;
    m_part += ".part";
    m_last.reset();
    m_written = 0;
    m_done = false;
    m_out.open(m_part, std::ios::binary | std::ios::trunc);
    m_out << kUtf8Bom << AuditCsvHeader(m_zone);
    if (!m_out) {
        m_out.close();
        std::error_code ignored;
        std::filesystem::remove(m_part, ignored);
        m_sink.ShowMessage(MessageIcon::kError, text::kCaptionError,
                           std::string(kCannotWrite) + ": " + file.string());
        return false;
    }
    m_running = true;
    return true;
}

bool AuditExport::Step() {
    if (!m_running) return false;
    if (m_transport.Busy()) return true;
    const std::string reply = m_transport.SendRequest(
        req::kGetAuditLog, AuditPageParams(m_filter, kPageSize, m_last ? &*m_last : nullptr));
    if (reply.empty() || reply.starts_with(reply::kErrorPrefix)) {
        // No reply: the transport has said why; a refusal: its text.
        ShowReplyMessage(m_sink, reply);
        Abandon(kInterrupted);
        return false;
    }
    const std::vector<AuditRecord> page = ParseAuditLog(reply);
    for (const AuditRecord& r : page) m_out << AuditCsvLine(r, m_zone);
    m_written += static_cast<int64_t>(page.size());
    if (!page.empty()) m_last = page.back();
    if (!m_out) {
        Abandon(std::string(kCannotWrite) + ": " + m_part.string());
        return false;
    }
    if (static_cast<int>(page.size()) == kPageSize) return true;

    m_out.close();
    const bool written = static_cast<bool>(m_out);
    std::error_code failed;
    if (written) std::filesystem::rename(m_part, m_file, failed);
    if (!written || failed) {
        Abandon(std::string(kCannotWrite) + ": " + m_file.string());
        return false;
    }
    m_running = false;
    m_done = true;
    return false;
}

void AuditExport::Abandon(const std::string& why) {
    Cancel();
    m_sink.ShowMessage(MessageIcon::kError, text::kCaptionError, why);
}

void AuditExport::Cancel() {
    if (!m_running) return;
    m_running = false;
    m_out.close();
    std::error_code ignored;
    std::filesystem::remove(m_part, ignored);
}

}  // namespace warden::console
