#include "vexdir/Sqlite.h"

namespace warden::sqlite {

namespace {

[[noreturn]] void Throw(sqlite3* db, int code, std::string_view what) {
    std::string message(what);
    if (db) {
        message += ": ";
        message += sqlite3_errmsg(db);
    }
    throw Error(db ? sqlite3_extended_errcode(db) : code, message);
}

}  // namespace

Statement::~Statement() {
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

Statement& Statement::Bind(int index, int64_t value) {
    int rc = sqlite3_bind_int64(m_stmt, index, value);
    if (rc != SQLITE_OK) Throw(m_db, rc, "bind");
    return *this;
}

Statement& Statement::Bind(int index, std::string_view value) {
    // SQLITE_TRANSIENT: the value is copied, so temporaries are safe to bind.
    int rc = sqlite3_bind_text64(m_stmt, index, value.data(), value.size(), SQLITE_TRANSIENT,
                                 SQLITE_UTF8);
    if (rc != SQLITE_OK) Throw(m_db, rc, "bind");
    return *this;
}

Statement& Statement::BindNull(int index) {
    int rc = sqlite3_bind_null(m_stmt, index);
    if (rc != SQLITE_OK) Throw(m_db, rc, "bind");
    return *this;
}

bool Statement::Step() {
    int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    Throw(m_db, rc, "step");
}

void Statement::Run() {
    while (Step()) {
    }
}

std::string Statement::Text(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    if (!text) return {};
    return std::string(text, static_cast<size_t>(sqlite3_column_bytes(m_stmt, column)));
}

Connection::Connection(const std::filesystem::path& file, bool create, int busyTimeoutMs) {
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
    if (create) flags |= SQLITE_OPEN_CREATE;
    int rc = sqlite3_open_v2(file.c_str(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        std::string message = "cannot open " + file.string();
        if (m_db) {
            message += ": ";
            message += sqlite3_errmsg(m_db);
            sqlite3_close(m_db);
            m_db = nullptr;
        }
        throw Error(rc, message);
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, busyTimeoutMs);
    try {
        Exec("PRAGMA foreign_keys = ON;");
    } catch (...) {
        sqlite3_close(m_db);
        throw;
    }
}

Connection::~Connection() {
    for (auto& [sql, stmt] : m_cache) sqlite3_finalize(stmt);
    sqlite3_close(m_db);
}

void Connection::Exec(const char* sql) {
    char* error = nullptr;
    int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        std::string message = error ? error : sqlite3_errstr(rc);
        sqlite3_free(error);
        throw Error(sqlite3_extended_errcode(m_db), message);
    }
}

Statement Connection::Prepare(const char* sql) {
    auto it = m_cache.find(sql);
    if (it == m_cache.end()) {
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
        if (rc != SQLITE_OK) Throw(m_db, rc, "prepare");
        it = m_cache.emplace(sql, stmt).first;
    }
    return Statement(it->second, m_db);
}

int64_t Connection::DataVersion() {
    Statement stmt = Prepare("PRAGMA data_version");
    if (!stmt.Step()) Throw(m_db, SQLITE_ERROR, "data_version");
    return stmt.Int(0);
}

// BEGIN and COMMIT run for every operation: prepared once per connection
// rather than parsed each time.
Transaction::Transaction(Connection& connection, Kind kind) : m_connection(connection) {
    m_connection.Prepare(kind == Kind::kImmediate ? "BEGIN IMMEDIATE" : "BEGIN").Run();
}

Transaction::~Transaction() {
    if (!m_open) return;
    // A failed statement may already have ended the transaction; the second
    // rollback then reports an error that there is nothing to do about.
    sqlite3_exec(m_connection.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::Commit() {
    m_connection.Prepare("COMMIT").Run();
    m_open = false;
}

Savepoint::Savepoint(Connection& connection) : m_connection(connection) {
    m_connection.Prepare("SAVEPOINT step").Run();
}

Savepoint::~Savepoint() {
    if (!m_open) return;
    // Undoes the savepoint's changes and then forgets it; the outer
    // transaction stays open.
    sqlite3_exec(m_connection.Handle(), "ROLLBACK TO step; RELEASE step", nullptr, nullptr,
                 nullptr);
}

void Savepoint::Release() {
    m_connection.Prepare("RELEASE step").Run();
    m_open = false;
}

}  // namespace warden::sqlite
