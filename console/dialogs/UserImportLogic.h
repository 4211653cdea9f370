// The behaviour of "导入用户": reads a file of users (UserCsv.h), checks
// every row before anything is sent, then adds or updates the users one row
// at a time through the server's ordinary "UserAdd.asp", so that delegation,
// limits and the audit trail apply to each as if typed in the user editor.
//
// The check marks each row: the file's own problems (missing values, text the
// wire cannot carry, values over their limit, an account twice in the file,
// departments outside the administrator's scope), then, asking the server,
// departments that do not exist, roles he cannot give (that do not exist or,
// for a second-level administrator, are not his to hand out to a new
// account) and accounts that exist already. The import
// adds the new accounts and, as the administrator chooses, updates or skips
// the existing ones. A row the server refuses keeps its reply text and never
// stops the rows after it; each user is one unit of work on the server, so a
// refused row leaves nothing behind. A request that gets no reply at all (a
// lost connection, a server that answers nothing in time) stops the check
// or the import: every further row would wait as long.
//
// Both the check and the import advance one request per call of Step, which
// the dialog calls from its event loop, so the window stays live, shows the
// progress and can cancel between two rows.
//
// Thread-safety: none; used on the user-interface thread.
#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/core/LoginState.h"
#include "console/core/MessageSink.h"
#include "console/core/Transport.h"
#include "console/dialogs/UserCsv.h"

namespace warden::console {

enum class ImportState {
    kInvalid,   // cannot be sent: see note
    kChecking,  // waiting for the server's answer about it
    kNew,       // will be added
    kExisting,  // the account exists: updated or skipped, as chosen
    kAdded,
    kUpdated,
    kSkipped,
    kRefused,  // the server's reply is the note
    kUnknown,  // sent, but no reply came: the server may or may not have made it
    kNotRun,   // the import stopped before this row: see note
};

// "有错误", "待检查", "新增", "已存在", "已添加", "已更新", "已跳过", "被拒绝",
// "结果未知", "未执行".
const char* ImportStateLabel(ImportState state);

struct ImportRow {
    int line = 0;  // in the file
    UserCsvRow user;
    ImportState state = ImportState::kChecking;
    std::string note;
    std::string deptsNow;  // an existing account's departments, as "GetUserDepts.asp" lists them
};

enum class ExistingAccounts { kSkip, kUpdate };

enum class ImportPhase { kEmpty, kChecking, kReady, kRunning, kDone };

// Where a long step stands, and what is left by the pace so far. Rows with
// a password are timed apart: the server hashes each password on purpose
// slowly, so they take many times longer than the others.
struct ImportProgress {
    int done = 0;
    int total = 0;
    int passwordsLeft = 0;
    double elapsedSeconds = 0;
    std::optional<double> secondsLeft;
    std::optional<double> secondsPerPassword;
};

// The progress for people: "12 / 1000 行, 用时 0:03, 预计还需 0:41 ...".
std::string ImportProgressText(const ImportProgress& progress);

class UserImportLogic {
  public:
    // REQUIRES: every reference outlives this object.
    UserImportLogic(Transport& transport, MessageSink& sink, const LoginState& login);

    // Reads `file` and checks the rows the file alone can tell about; the
    // server's part follows through Step. False, after a message, when the
    // file cannot be read as a file of users.
    bool Load(const std::filesystem::path& file);
    bool LoadBytes(std::string_view bytes);

    ImportPhase Phase() const { return m_phase; }
    TextEncoding Encoding() const { return m_encoding; }
    bool HasPasswords() const { return m_hasPasswords; }
    const std::vector<ImportRow>& Rows() const { return m_rows; }
    int Count(ImportState state) const;
    // "共 15 行: 新增 3, 已存在 1, 有错误 11": every state some row is in.
    std::string Summary() const;

    // Starts the import; `existing` decides about accounts that exist.
    // REQUIRES: Phase() == kReady.
    void Start(ExistingAccounts existing);

    // Sends the next request of the check or the import. Returns whether
    // more remain. Does nothing while the transport is busy.
    bool Step();

    // Stops the check or the import before its next request: rows not yet
    // sent are marked kNotRun.
    void Cancel();

    ImportProgress Progress() const;

    // The per-row report: line, account, name, result and the server's text,
    // as CSV text; and written to a file (with a byte-order mark).
    std::string ReportCsv() const;
    bool ExportReport(const std::filesystem::path& file);

  private:
    struct DeptCheck {
        bool known = false;
        std::string problem;  // empty when the department may be used
    };

    void CheckLocally();
    bool CheckNext();
    void ReadRoles();
    void CheckDept(const std::string& path, DeptCheck& check);
    void CheckAccount(ImportRow& row);
    bool RunNext();
    void RunRow(ImportRow& row);
    // Marks every row still waiting for the current step kNotRun with `why`
    // and ends the step.
    void StopRemaining(const std::string& why);
    // Why a step that got no reply stops: the connection is lost, or the
    // server answers nothing in time.
    std::string NoReplyReason() const;
    // Ends the step under way: the check is ready, the import done.
    void Finish();

    Transport& m_transport;
    MessageSink& m_sink;
    const LoginState& m_login;

    ImportPhase m_phase = ImportPhase::kEmpty;
    TextEncoding m_encoding = TextEncoding::kUtf8;
    bool m_hasPasswords = false;
    std::vector<ImportRow> m_rows;
    ExistingAccounts m_existing = ExistingAccounts::kSkip;

    // The check: departments first (each asked once), then accounts.
    std::map<std::string, DeptCheck> m_depts;  // by path
    bool m_rolesRead = false;
    std::optional<std::vector<std::string>> m_roles;  // what he may give; unknown when unread
    size_t m_next = 0;                         // the next row to check or run

    // The pace of the step under way.
    std::chrono::steady_clock::time_point m_started;
    double m_endedAfter = 0;  // seconds the last finished step took
    int m_total = 0, m_done = 0;
    int m_passwordsLeft = 0;
    double m_plainSeconds = 0, m_passwordSeconds = 0;
    int m_plainRows = 0, m_passwordRows = 0;
};

}  // namespace warden::console
