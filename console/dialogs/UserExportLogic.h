// The behaviour of "导出用户": the users of a department, and optionally of
// every department below it, to a file of users (UserCsv.h) with their
// records, departments and roles, one row per user however many of the
// departments he is in, sorted by account.
//
// The work advances one step per call of Step, which the dialog calls from
// its event loop: first one department (its users and, when asked, its
// sub-departments), then one user (his record, departments and roles). So
// the window stays live, shows the progress and can cancel.
//
// Thread-safety: none; used on the user-interface thread.
#pragma once

#include <deque>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "console/core/MessageSink.h"
#include "console/core/Transport.h"
#include "console/dialogs/UserCsv.h"

namespace warden::console {

enum class ExportPhase { kIdle, kListing, kReading, kDone, kStopped };

class UserExportLogic {
  public:
    // REQUIRES: every reference outlives this object.
    UserExportLogic(Transport& transport, MessageSink& sink, std::string deptPath);

    const std::string& DeptPath() const { return m_deptPath; }

    // Starts over; `withSubDepts` takes in every department below too.
    void Start(bool withSubDepts);

    // Sends the requests of the next step. Returns whether more remain. A
    // refusal or a lost connection stops the export after a message.
    // Does nothing while the transport is busy.
    bool Step();

    // Stops before the next step; nothing is written.
    void Cancel();

    ExportPhase Phase() const { return m_phase; }
    // "已查 3 个部门, 找到 120 个用户" while listing, "读取用户资料 12 / 120" while
    // reading, "共 120 个用户" when done.
    std::string ProgressText() const;
    // Users read so far and users found; a bar's value and maximum.
    int UsersRead() const { return static_cast<int>(m_next); }
    int UsersFound() const { return static_cast<int>(m_accounts.size()); }
    // Users listed but gone (deleted meanwhile) when their record was read.
    int UsersGone() const { return m_gone; }

    // The file's text, after the export is done.
    std::string Csv() const;
    // Writes Csv() with a byte-order mark. False, after a message, on failure.
    bool Save(const std::filesystem::path& file);

  private:
    void ListNextDept();
    void ReadNextUser();
    // The reply, or nullopt after stopping the export when it is a refusal
    // or none came.
    std::optional<std::string> Ask(std::string_view request, std::string_view key,
                                   std::string_view value);

    Transport& m_transport;
    MessageSink& m_sink;
    std::string m_deptPath;
    bool m_withSubDepts = false;
    ExportPhase m_phase = ExportPhase::kIdle;

    std::deque<std::string> m_deptQueue;
    int m_deptsListed = 0;
    std::vector<std::string> m_accounts;  // as found, each once
    std::set<std::string> m_seen;
    size_t m_next = 0;  // the next account to read
    std::vector<UserCsvRow> m_rows;
    int m_gone = 0;
};

}  // namespace warden::console
