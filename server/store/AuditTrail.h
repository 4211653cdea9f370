// The audit trail: who did what, when and from where, kept in the admin
// store's database (table warden_audit) over its own ODBC connection, so a
// site that points the store at another database keeps its trail there too.
//
// Append-only: entries are added and read; the only removal is the retention
// prune of entries older than a cutoff. Entries are read newest first with
// keyset paging on (time, id), which two indexes serve, so a page costs the
// same on the millionth entry as on the first.
//
// Appends that arrive together are committed together: each waits until its
// own entry is on disk, but a burst of them costs one commit rather than one
// each (a commit that syncs takes milliseconds, and every change and login
// of every console makes an entry).
//
// Thread-safe: every operation may run on any number of threads at once; the
// connection is guarded.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "protocol/AuditRecord.h"

namespace warden {

class OdbcConnection;

// Which entries a query returns. Times are canonical (see AuditTime.h);
// empty texts impose nothing.
struct AuditFilter {
    std::string from;        // entries at or after this time
    std::string to;          // entries at or before this time
    std::string account;     // this account, in any letter case
    std::string targetText;  // target contains this text, letter case ignored
    std::string request;     // this request name, ASCII letter case ignored
    std::string outcome;     // one of audit_outcome (AuditOutcomeKind's rule)
    // Keyset cursor: only entries older than the entry (beforeTime, beforeId),
    // i.e. the last one of the previous page. Empty beforeTime: from the newest.
    std::string beforeTime;
    int64_t beforeId = 0;
    int64_t limit = 100;  // REQUIRES: > 0
};

class AuditTrail {
  public:
    AuditTrail();
    ~AuditTrail();
    AuditTrail(const AuditTrail&) = delete;
    AuditTrail& operator=(const AuditTrail&) = delete;

    // Connects with the ready `connectionString` to the admin store, which
    // holds the table (AdminStore::OpenDatabase adds it to a store made
    // before the trail). Throws OdbcError with the driver's text on failure;
    // before it succeeds every operation below fails.
    void Open(const std::string& connectionString);

    // Adds `record`, giving it its id and, when its time is empty, the
    // current time; returns once it is committed. False on a database error,
    // with the driver's text in `problem`.
    bool Append(AuditRecord& record, std::string& problem);

    // The entries that pass `filter`, newest first. Throws on a database error.
    std::vector<AuditRecord> Query(const AuditFilter& filter);
    // How many entries pass `filter`, its cursor and limit aside. Throws on
    // a database error.
    int64_t Count(const AuditFilter& filter);

    // Calls `each` for every entry at or after `since` (empty: all), oldest
    // first, reading `pageSize` entries at a time. Throws on a database error.
    void ForEachSince(const std::string& since, const std::function<void(const AuditRecord&)>& each,
                      int64_t pageSize = 1000);

    // Removes the entries older than `cutoff` (a canonical time); returns how
    // many. Throws on a database error.
    int64_t PruneBefore(const std::string& cutoff);

  private:
    struct Pending {
        AuditRecord* record;
        std::string* problem;
        bool done = false;
        bool written = false;
    };

    // Writes `batch` in one transaction, or each entry alone when that fails
    // (so one bad entry loses no other).
    void WriteBatch(const std::vector<Pending*>& batch);
    // Inserts one entry with the next id. REQUIRES: m_mutex is held.
    void Insert(OdbcConnection& connection, AuditRecord& record);
    // Runs `work` on the connection, made anew once when the database has
    // dropped it. Throws OdbcError. REQUIRES: m_mutex is held.
    template <typename Work>
    auto OnLiveConnection(Work work);

    // The queue of appends waiting for a commit; the first to find nobody
    // writing writes everything queued.
    std::mutex m_queueMutex;
    std::condition_variable m_committed;
    std::vector<Pending*> m_queue;
    bool m_writing = false;

    std::mutex m_mutex;  // guards m_connection and m_nextId
    std::unique_ptr<OdbcConnection> m_connection;
    std::string m_connectionString;
    int64_t m_nextId = 1;
};

}  // namespace warden
