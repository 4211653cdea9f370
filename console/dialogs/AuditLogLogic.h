// The behaviour of the window "操作日志": the audit trail, newest first,
// filtered by time, account and target. The first page comes with the
// search; further pages are read one per call of LoadNextPage, which the
// window calls from its event loop, up to a number of rows that grows as the
// reader scrolls to the end, so a trail of any length opens at once and the
// window never waits for more than one page. The rows shown can be copied or
// saved as CSV.
//
// Thread-safety: none; used on the user-interface thread.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "console/core/MessageSink.h"
#include "console/core/Transport.h"
#include "protocol/AuditRecord.h"

namespace warden::console {

struct AuditQuery {
    std::string from;     // UTC, "2024-05-01" or "2024-05-01 08:30:00"; empty: no bound
    std::string to;       // inclusive: "2024-05-01" covers that day
    std::string account;  // exactly this account
    std::string target;   // the target contains this text
};

// Tells the window's model about new rows, before and after they arrive.
struct AuditLogObserver {
    std::function<void()> beginReset, endReset;
    std::function<void(int first, int last)> beginAppend;
    std::function<void()> endAppend;
};

class AuditLogLogic {
  public:
    static constexpr int kPageSize = 200;
    // Rows read without the reader asking, and how many more each time he
    // reaches the end of the list.
    static constexpr int kBatch = 2000;

    // REQUIRES: every reference outlives this object.
    AuditLogLogic(Transport& transport, MessageSink& sink);

    void SetObserver(AuditLogObserver observer) { m_observer = std::move(observer); }

    // Starts over with `query` and reads its first page. False, after a
    // message, when the query cannot be sent or the server refuses it.
    bool Search(AuditQuery query);

    // Reads the next page when one may follow and fewer rows than wanted
    // are shown. Returns whether another call could read more. Does nothing
    // while the transport is busy.
    bool LoadNextPage();

    // The reader reached the end of the list: read another batch.
    void WantMore() { m_wanted = static_cast<int>(m_rows.size()) + kBatch; }

    // True once the last page has come.
    bool Complete() const { return m_complete; }
    const std::vector<AuditRecord>& Rows() const { return m_rows; }

    // `rows` (indexes into Rows(); all rows when empty) as CSV with a header
    // line, UTF-8, lines ended by CRLF.
    std::string Csv(const std::vector<int>& rows = {}) const;
    // Writes Csv(rows) to `file` with a UTF-8 byte order mark (which
    // spreadsheets need to read Chinese). False, after a message, on failure.
    bool ExportCsv(const std::filesystem::path& file, const std::vector<int>& rows = {});

  private:
    bool ReadPage();

    Transport& m_transport;
    MessageSink& m_sink;
    AuditLogObserver m_observer;
    AuditQuery m_query;
    std::vector<AuditRecord> m_rows;
    bool m_complete = true;
    int m_wanted = kBatch;
};

// What a request did, for people ("添加部门"); the request name itself for
// one without a label.
std::string AuditActionLabel(std::string_view request);
// "超级管理员", "分级管理员", "普通用户" or "未登录".
std::string AuditLevelLabel(std::string_view level);

}  // namespace warden::console
