// The audit trail in the server program: opening it beside the admin store,
// its retention, and `--audit-log`, which prints it for scripts and journals.
//
// Thread-safety: AuditRetention runs its own thread; the rest is called from
// the main thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>

#include "server/shell/ServerConfig.h"
#include "server/shell/StartupView.h"

namespace warden {

class AdminStore;
class AuditTrail;
struct AuditRecord;

// Opens `trail` on the database of `store` (opened, so its table exists).
// False, after a message to `view`, when it cannot: a server must not run
// without its trail.
bool OpenAuditTrail(AuditTrail& trail, const AdminStore& store, const ServerConfig& config,
                    StartupView& view);

// Removes entries older than `keepDays` days at once and then every
// `period`, on a thread of its own, until destroyed. `report` receives one
// line for each prune that removed something or (`failed`) could not.
class AuditRetention {
  public:
    // REQUIRES: keepDays > 0; `trail` outlives this object.
    AuditRetention(AuditTrail& trail, int keepDays,
                   std::function<void(const std::string& line, bool failed)> report,
                   std::chrono::milliseconds period = std::chrono::hours(24));
    ~AuditRetention();
    AuditRetention(const AuditRetention&) = delete;
    AuditRetention& operator=(const AuditRetention&) = delete;

  private:
    void Run();

    AuditTrail& m_trail;
    const int m_keepDays;
    const std::function<void(const std::string&, bool)> m_report;
    const std::chrono::milliseconds m_period;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::thread m_thread;
};

// One entry as a line of `--audit-log`: time, account, level, address:port,
// request, target, outcome and detail separated by tabs; tabs and line
// breaks inside values become spaces.
std::string AuditLogLine(const AuditRecord& record);

// `--audit-log [--since TIME]`: prints the trail of the admin store in
// `baseDir`, oldest first, from `since` (empty: from the start) to `out`.
// Returns the process exit status; problems go to standard error.
int PrintAuditLog(const std::filesystem::path& baseDir, const std::string& since,
                  std::ostream& out);

}  // namespace warden
