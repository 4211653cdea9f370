#include "server/store/AuditTrail.h"

#include <chrono>

#include "server/store/AuditTime.h"
#include "server/store/Odbc.h"

namespace warden {

namespace {

// Kept in step with the template (AdminStoreSchema.sql). "IF NOT EXISTS" is
// understood by SQLite and PostgreSQL alike, and makes a start that was cut
// off between two of these statements harmless.
constexpr const char* kCreate[] = {
    "CREATE TABLE IF NOT EXISTS warden_audit ("
    " audit_id BIGINT NOT NULL PRIMARY KEY,"
    " audit_time VARCHAR(24) NOT NULL,"
    " account_name TEXT NOT NULL,"
    " admin_level TEXT NOT NULL,"
    " peer_address TEXT NOT NULL,"
    " peer_port INTEGER NOT NULL,"
    " request_name TEXT NOT NULL,"
    " target TEXT NOT NULL,"
    " outcome TEXT NOT NULL,"
    " detail TEXT NOT NULL)",
    "CREATE INDEX IF NOT EXISTS warden_audit_by_time ON warden_audit(audit_time, audit_id)",
    "CREATE INDEX IF NOT EXISTS warden_audit_by_account"
    " ON warden_audit(account_name, audit_time, audit_id)",
};

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

// "%" and "_" match anything in LIKE: a searched text is taken literally.
std::string LikeContains(const std::string& text) {
    std::string pattern = "%";
    for (char c : text) {
        if (c == '%' || c == '_' || c == '!') pattern += '!';
        pattern += c;
    }
    return pattern + "%";
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
    for (const char* statement : kCreate) connection->Execute(statement);
    // Touches every column, so a table of another shape fails here, at start.
    connection->Execute(std::string("SELECT ") + kColumns + " FROM warden_audit WHERE 1=0");
    const int64_t last = ReadLastId(*connection);
    std::lock_guard lock(m_mutex);
    m_connection = std::move(connection);
    m_nextId = last + 1;
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

void AuditTrail::Insert(AuditRecord& record) {
    static const std::string insert =
        std::string("INSERT INTO warden_audit(") + kColumns + ") VALUES (?,?,?,?,?,?,?,?,?,?)";
    m_connection->Execute(insert, {m_nextId, record.time, record.account, record.level,
                                   record.address, int64_t{record.port}, record.request,
                                   record.target, record.outcome, record.detail});
    record.id = m_nextId++;
}

void AuditTrail::WriteBatch(const std::vector<Pending*>& batch) {
    std::lock_guard lock(m_mutex);
    if (!m_connection) {
        for (Pending* pending : batch) *pending->problem = "the audit trail is not open";
        return;
    }
    const int64_t firstId = m_nextId;
    try {
        m_connection->Begin();
        for (Pending* pending : batch) Insert(*pending->record);
        m_connection->Commit();
        for (Pending* pending : batch) pending->written = true;
        return;
    } catch (const std::exception&) {
        m_connection->Rollback();
        m_nextId = firstId;
    }
    for (Pending* pending : batch) {
        // A second try covers ids taken by another process on the same
        // store since this one last looked.
        for (int attempt = 0; attempt < 2 && !pending->written; ++attempt) {
            try {
                if (attempt > 0) m_nextId = ReadLastId(*m_connection) + 1;
                Insert(*pending->record);
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
    if (!filter.from.empty()) {
        sql += " AND audit_time >= ?";
        params.emplace_back(filter.from);
    }
    if (!filter.to.empty()) {
        sql += " AND audit_time <= ?";
        params.emplace_back(filter.to);
    }
    if (!filter.account.empty()) {
        sql += " AND account_name = ?";
        params.emplace_back(filter.account);
    }
    if (!filter.targetText.empty()) {
        sql += " AND LOWER(target) LIKE LOWER(?) ESCAPE '!'";
        params.emplace_back(LikeContains(filter.targetText));
    }
    if (!filter.beforeTime.empty()) {
        sql += " AND (audit_time < ? OR (audit_time = ? AND audit_id < ?))";
        params.emplace_back(filter.beforeTime);
        params.emplace_back(filter.beforeTime);
        params.emplace_back(filter.beforeId);
    }
    sql += " ORDER BY audit_time DESC, audit_id DESC LIMIT ?";
    params.emplace_back(filter.limit);

    std::lock_guard lock(m_mutex);
    if (!m_connection) throw OdbcError("the audit trail is not open", "");
    OdbcStatement query(*m_connection, sql);
    query.Execute(params);
    std::vector<AuditRecord> records;
    while (query.Fetch()) records.push_back(ReadRow(query));
    return records;
}

void AuditTrail::ForEachSince(const std::string& since,
                              const std::function<void(const AuditRecord&)>& each,
                              int64_t pageSize) {
    const std::string sql = std::string("SELECT ") + kColumns +
                            " FROM warden_audit WHERE audit_time >= ?"
                            " AND (audit_time > ? OR (audit_time = ? AND audit_id > ?))"
                            " ORDER BY audit_time, audit_id LIMIT ?";
    std::string afterTime = since;
    int64_t afterId = -1;
    for (;;) {
        std::vector<AuditRecord> page;
        {
            std::lock_guard lock(m_mutex);
            if (!m_connection) throw OdbcError("the audit trail is not open", "");
            OdbcStatement query(*m_connection, sql);
            query.Execute({since, afterTime, afterTime, afterId, pageSize});
            while (query.Fetch()) page.push_back(ReadRow(query));
        }
        for (const AuditRecord& record : page) each(record);
        if (static_cast<int64_t>(page.size()) < pageSize) return;
        afterTime = page.back().time;
        afterId = page.back().id;
    }
}

int64_t AuditTrail::PruneBefore(const std::string& cutoff) {
    std::lock_guard lock(m_mutex);
    if (!m_connection) throw OdbcError("the audit trail is not open", "");
    return m_connection->Execute("DELETE FROM warden_audit WHERE audit_time < ?", {cutoff});
}

}  // namespace warden
