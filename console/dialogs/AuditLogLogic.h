// The behaviour of the window "操作日志": the audit trail, newest first,
// filtered by time (in the console's own time zone), account, target,
// operation and outcome. The first page comes with the search; further pages
// are read one per call of LoadNextPage, which the window calls from its
// event loop, up to a number of rows that grows as the reader scrolls to the
// end, so a trail of any length opens at once and the window never waits
// for more than one page. The rows shown can be copied as CSV; AuditExport
// writes every entry of the search to a file.
//
// Thread-safety: none; used on the user-interface thread.
#pragma once

#include <QTimeZone>
#include <functional>
#include <string>
#include <vector>

#include "console/core/MessageSink.h"
#include "console/core/Transport.h"
#include "protocol/AuditRecord.h"

namespace warden::console {

// The filters as typed.
struct AuditQuery {
    std::string from;     // in the console's zone: "2024-05-01" or "2024-05-01 08:30"; empty: none
    std::string to;       // inclusive: "2024-05-01" covers that day
    std::string account;  // exactly this account
    std::string target;   // the target contains this text
    std::string request;  // this request name (see AuditOperations); empty: any
    std::string outcome;  // one of audit_outcome; empty: any
};

// The filters as the server takes them: bounds in UTC.
struct AuditFilterParams {
    std::string from, to, account, target, request, outcome;
};

// The parameter text of "GetAuditLog.asp" for a page of `count` entries of
// `filter` that follows `after` (null: from the newest).
std::string AuditPageParams(const AuditFilterParams& filter, int count, const AuditRecord* after);

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

    // Times are shown and typed in `zone`.
    // REQUIRES: every reference outlives this object.
    AuditLogLogic(Transport& transport, MessageSink& sink,
                  QTimeZone zone = QTimeZone::systemTimeZone());

    void SetObserver(AuditLogObserver observer) { m_observer = std::move(observer); }
    const QTimeZone& Zone() const { return m_zone; }

    // Starts over with `query` and reads its first page. False, after a
    // message, when the query is not well formed (a bound that is no time,
    // a range that ends before it begins, text the wire cannot carry: the
    // list stays as it was and nothing is sent) or no page comes (the list
    // is then empty).
    bool Search(const AuditQuery& query);
    // What the rows shown were searched with.
    const AuditFilterParams& Filter() const { return m_filter; }

    // Reads the next page when one may follow and fewer rows than wanted
    // are shown. Returns whether another call could read more. Does nothing
    // while the transport is busy.
    bool LoadNextPage();

    // The reader reached the end of the list: read another batch.
    void WantMore() { m_wanted = static_cast<int>(m_rows.size()) + kBatch; }

    // True once the last page has come.
    bool Complete() const { return m_complete; }
    // True when the last request found no connection: the rows shown (none,
    // perhaps) are not the trail.
    bool Offline() const { return m_offline; }
    const std::vector<AuditRecord>& Rows() const { return m_rows; }

    // `rows` (indexes into Rows(); all rows when empty) as CSV with a header
    // line, UTF-8, lines ended by CRLF.
    std::string Csv(const std::vector<int>& rows = {}) const;

  private:
    // Checks `query` and turns it into m_filter; false after a message.
    bool Resolve(const AuditQuery& query, AuditFilterParams& filter);
    bool ReadPage();

    Transport& m_transport;
    MessageSink& m_sink;
    QTimeZone m_zone;
    AuditLogObserver m_observer;
    AuditFilterParams m_filter;
    std::vector<AuditRecord> m_rows;
    bool m_complete = true;
    bool m_offline = false;
    int m_wanted = kBatch;
};

}  // namespace warden::console
