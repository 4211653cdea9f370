#include "server/shell/AuditSetup.h"

#include "protocol/AuditRecord.h"
#include "server/shell/AdminStoreSetup.h"
#include "server/shell/StderrView.h"
#include "server/store/AdminStore.h"
#include "server/store/AuditTime.h"
#include "server/store/AuditTrail.h"

namespace warden {

namespace {

std::string OneLine(const std::string& value) {
    std::string out = value;
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    }
    return out;
}

}  // namespace

bool OpenAuditTrail(AuditTrail& trail, const AdminStore& store, const ServerConfig& config,
                    StartupView& view) {
    try {
        trail.Open(store.ConnectionString(AdminStoreConnection(config)));
        return true;
    } catch (const std::exception& e) {
        view.ShowMessage(
            std::string("打开操作日志失败\n(audit trail in the admin store: ") + e.what() + ")",
            "错误", MessageIcon::kError);
        return false;
    }
}

AuditRetention::AuditRetention(AuditTrail& trail, int keepDays,
                               std::function<void(const std::string&, bool)> report,
                               std::chrono::milliseconds period)
    : m_trail(trail), m_keepDays(keepDays), m_report(std::move(report)), m_period(period) {
    m_thread = std::thread([this] { Run(); });
}

AuditRetention::~AuditRetention() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void AuditRetention::Run() {
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        lock.unlock();
        const auto cutoff = std::chrono::system_clock::now() - std::chrono::days(m_keepDays);
        try {
            const int64_t removed = m_trail.PruneBefore(FormatAuditTime(cutoff));
            if (removed > 0) {
                m_report("audit trail: removed " + std::to_string(removed) +
                             " entries older than " + std::to_string(m_keepDays) + " days",
                         false);
            }
        } catch (const std::exception& e) {
            m_report(std::string("audit trail: old entries could not be removed: ") + e.what(),
                     true);
        }
        lock.lock();
        m_wake.wait_for(lock, m_period, [this] { return m_stopping; });
    }
}

std::string AuditLogLine(const AuditRecord& r) {
    const std::string peer = AuditPeer(r);
    std::string line;
    for (const std::string* value :
         {&r.time, &r.account, &r.level, &peer, &r.request, &r.target, &r.outcome, &r.detail}) {
        if (!line.empty()) line += '\t';
        line += OneLine(*value);
    }
    return line;
}

int PrintAuditLog(const std::filesystem::path& baseDir, const std::string& since,
                  std::ostream& out) {
    std::string from;
    if (!since.empty()) {
        auto bound = ParseAuditTimeBound(since, /*upper=*/false);
        if (!bound) {
            SayOnStderr(
                "--since takes a UTC time such as 2024-05-01 or 2024-05-01T08:30:00, not \"" +
                since + "\"");
            return 2;
        }
        from = *bound;
    }
    const ServerConfig config = LoadServerConfig(baseDir / "server.cfg");
    const AdminStore store(baseDir);
    const std::string pattern = AdminStoreConnection(config);
    // Opening a data file that is not there would create an empty one, which
    // the next start would take for the store.
    std::error_code ec;
    if (store.UsesDataFile(pattern) && !std::filesystem::exists(store.DataFile(), ec)) {
        SayOnStderr("no admin store in " + baseDir.string() + " (" + store.DataFile().string() +
                    " does not exist)");
        return 1;
    }
    try {
        AuditTrail trail;
        trail.Open(store.ConnectionString(pattern));
        trail.ForEachSince(from, [&out](const AuditRecord& r) { out << AuditLogLine(r) << '\n'; });
        out.flush();
    } catch (const std::exception& e) {
        SayOnStderr(std::string("cannot read the audit trail: ") + e.what());
        return 1;
    }
    return out ? 0 : 1;
}

}  // namespace warden
