#include "server/store/AuditTrail.h"

#include <chrono>

#include "protocol/Replies.h"
#include "server/store/AuditTime.h"
#include "server/store/Odbc.h"

namespace warden {

namespace {

constexpr const char kColumns[] =
    "audit_id, audit_time, account_name, admin_level, peer_address, peer_port, request_name, "
    "target, outcome, detail";

constexpr const char kLastId[] = "SELECT MAX(audit_id) FROM warden_audit";

AuditRecord ReadRow(OdbcStatement& query) {
    AuditRecord r;
    r.id = query.Integer(1).value_or(0);
    r.time = query.Text(2).value_or("");
    r.account = query.Text(3).value_or("");
    r.level = query.Text(4).value_or("");
    r.address = query.Text(5).value_or("");
    r.port = static_cast<int>(query.Integer(6).value_or(0));
    r.request = query.Text(7).value_or("");
    r.target = query.Text(8).value_or("");
    r.outcome = query.Text(9).value_or("");
    r.detail = query.Text(10).value_or("");
    return r;
}

// The entries `sql` selects with `params`.
std::vector<AuditRecord> SelectRows(OdbcConnection& connection, const std::string& sql,
                                    const std::vector<OdbcValue>& params) {
    OdbcStatement query(connection, sql);
    query.Execute(params);
    std::vector<AuditRecord> records;
    while (query.Fetch()) records.push_back(ReadRow(query));
    return records;
}

// "%" and "_" match anything in LIKE: a searched text is taken literally.
std::string LikeContains(const std::string& text) {
    std::string pattern = "%";
    for (char c : text) {
        if (c == '%' || c == '_' || c == '!') pattern += '!';
        pattern += c;
    }
    return pattern + "%";
}

// The conditions of `filter` other than its cursor and limit, appended to
// `sql` (which ends in a WHERE clause), their values to `params`.
void AddConditions(const AuditFilter& filter, std::string& sql, std::vector<OdbcValue>& params) {
    if (!filter.from.empty()) {
        sql += " AND audit_time >= ?";
        params.emplace_back(filter.from);
    }
    if (!filter.to.empty()) {
        sql += " AND audit_time <= ?";
        params.emplace_back(filter.to);
    }
    if (!filter.account.empty()) {
        // Entries made before the directory's own spelling was kept hold the
        // account as typed, so the letter case is left out of the match.
        sql += " AND LOWER(account_name) = LOWER(?)";
        params.emplace_back(filter.account);
    }
    if (!filter.targetText.empty()) {
        sql += " AND LOWER(target) LIKE LOWER(?) ESCAPE '!'";
        params.emplace_back(LikeContains(filter.targetText));
    }
    if (!filter.request.empty()) {
        sql += " AND LOWER(request_name) = LOWER(?)";
        params.emplace_back(filter.request);
    }
    // As AuditOutcomeKind reads a reply; "error:" is ASCII, so a prefix
    // comparison is the same in every database.
    if (filter.outcome == audit_outcome::kRefused) {
        sql += " AND outcome = ?";
        params.emplace_back(std::string(reply::kNotPermitted));
    } else if (filter.outcome == audit_outcome::kFailed) {
        sql += " AND SUBSTR(outcome, 1, 6) = 'error:' AND outcome <> ?";
        params.emplace_back(std::string(reply::kNotPermitted));
    } else if (filter.outcome == audit_outcome::kSuccess) {
        sql += " AND (outcome IS NULL OR SUBSTR(outcome, 1, 6) <> 'error:')";
    }
}

int64_t ReadLastId(OdbcConnection& connection) {
    OdbcStatement query(connection, kLastId);
    query.Execute();
    return query.Fetch() ? query.Integer(1).value_or(0) : 0;
}

}  // namespace

AuditTrail::AuditTrail() = default;
AuditTrail::~AuditTrail() = default;

void AuditTrail::Open(const std::string& connectionString) {
    auto connection = std::make_unique<OdbcConnection>(connectionString);
    // The admin store makes the table when it opens (a schema step); this
    // touches every column, so a table of another shape fails here, at start.
    try {
        connection->Execute(std::string("SELECT ") + kColumns + " FROM warden_audit WHERE 1=0");
    } catch (const OdbcError& e) {
        throw OdbcError(std::string(e.what()) + " (the admin store has no audit trail)",
                        e.SqlState());
    }
    const int64_t last = ReadLastId(*connection);
    std::lock_guard lock(m_mutex);
    m_connection = std::move(connection);
    m_connectionString = connectionString;
    m_nextId = last + 1;
}

template <typename Work>
auto AuditTrail::OnLiveConnection(Work work) {
    if (!m_connection) throw OdbcError("the audit trail is not open", "");
    try {
        return work(*m_connection);
    } catch (const OdbcError&) {
        // A database that dropped the session (its server restarted) would
        // otherwise fail every entry until this server restarts.
        if (!m_connection->Dead()) throw;
        m_connection = std::make_unique<OdbcConnection>(m_connectionString);
        m_nextId = ReadLastId(*m_connection) + 1;
        return work(*m_connection);
    }
}

bool AuditTrail::Append(AuditRecord& record, std::string& problem) {
    if (record.time.empty()) record.time = FormatAuditTime(std::chrono::system_clock::now());
    Pending mine{&record, &problem};
    std::unique_lock lock(m_queueMutex);
    m_queue.push_back(&mine);
    while (!mine.done) {
        if (m_writing) {
            m_committed.wait(lock);
            continue;
        }
        m_writing = true;
        std::vector<Pending*> batch;
        batch.swap(m_queue);
        lock.unlock();
        WriteBatch(batch);
        lock.lock();
        for (Pending* pending : batch) pending->done = true;
        m_writing = false;
        m_committed.notify_all();
    }
    return mine.written;
}

void AuditTrail::Insert(OdbcConnection& connection, AuditRecord& record) {
    static const std::string insert =
        std::string("INSERT INTO warden_audit(") + kColumns + ") VALUES (?,?,?,?,?,?,?,?,?,?)";
    connection.Execute(insert, {m_nextId, record.time, record.account, record.level, record.address,
                                int64_t{record.port}, record.request, record.target, record.outcome,
                                record.detail});
    record.id = m_nextId++;
}

void AuditTrail::WriteBatch(const std::vector<Pending*>& batch) {
    std::lock_guard lock(m_mutex);
    try {
        OnLiveConnection([&](OdbcConnection& connection) {
            OdbcTransaction transaction(connection);
            for (Pending* pending : batch) Insert(connection, *pending->record);
            transaction.Commit();
            return 0;
        });
        for (Pending* pending : batch) pending->written = true;
        return;
    } catch (const std::exception&) {
        // The batch left nothing; try its entries one by one.
    }
    // Each alone, so that one entry the database refuses loses no other.
    for (Pending* pending : batch) {
        // A second try covers ids taken by another process on the same
        // store since this one last looked.
        for (int attempt = 0; attempt < 2 && !pending->written; ++attempt) {
            try {
                OnLiveConnection([&](OdbcConnection& connection) {
                    if (attempt > 0) m_nextId = ReadLastId(connection) + 1;
                    Insert(connection, *pending->record);
                    return 0;
                });
                pending->written = true;
            } catch (const std::exception& e) {
                *pending->problem = e.what();
                pending->record->id = 0;
            }
        }
    }
}

std::vector<AuditRecord> AuditTrail::Query(const AuditFilter& filter) {
    std::string sql = std::string("SELECT ") + kColumns + " FROM warden_audit WHERE 1=1";
    std::vector<OdbcValue> params;
    AddConditions(filter, sql, params);
    if (!filter.beforeTime.empty()) {
        // As a row value, so that the index seeks straight to the cursor (an
        // OR of the two comparisons has SQLite read every older entry).
        sql += " AND (audit_time, audit_id) < (?, ?)";
        params.emplace_back(filter.beforeTime);
        params.emplace_back(filter.beforeId);
    }
    sql += " ORDER BY audit_time DESC, audit_id DESC LIMIT ?";
    params.emplace_back(filter.limit);

    std::lock_guard lock(m_mutex);
    return OnLiveConnection(
        [&](OdbcConnection& connection) { return SelectRows(connection, sql, params); });
}

int64_t AuditTrail::Count(const AuditFilter& filter) {
    std::string sql = "SELECT COUNT(*) FROM warden_audit WHERE 1=1";
    std::vector<OdbcValue> params;
    AddConditions(filter, sql, params);
    std::lock_guard lock(m_mutex);
    return OnLiveConnection([&](OdbcConnection& connection) {
        OdbcStatement query(connection, sql);
        query.Execute(params);
        return query.Fetch() ? query.Integer(1).value_or(0) : int64_t{0};
    });
}


void AuditTrail::ForEachSince(const std::string& since,
                              const std::function<void(const AuditRecord&)>& each,
                              int64_t pageSize) {
    const std::string sql = std::string("SELECT ") + kColumns +
                            " FROM warden_audit WHERE audit_time >= ?"
                            " AND (audit_time, audit_id) > (?, ?)"
                            " ORDER BY audit_time, audit_id LIMIT ?";
    std::string afterTime = since;
    int64_t afterId = -1;
    for (;;) {
        std::vector<AuditRecord> page;
        {
            std::lock_guard lock(m_mutex);
            page = OnLiveConnection([&](OdbcConnection& connection) {
                return SelectRows(connection, sql, {since, afterTime, afterId, pageSize});
            });
        }
        for (const AuditRecord& record : page) each(record);
        if (static_cast<int64_t>(page.size()) < pageSize) return;
        afterTime = page.back().time;
        afterId = page.back().id;
    }
}

int64_t AuditTrail::PruneBefore(const std::string& cutoff) {
    std::lock_guard lock(m_mutex);
    return OnLiveConnection([&](OdbcConnection& connection) {
        return connection.Execute("DELETE FROM warden_audit WHERE audit_time < ?", {cutoff});
    });
}

}  // namespace warden
