// A thin RAII layer over the SQLite C API: a connection with a cache of
// prepared statements, a statement cursor with bound parameters, and a
// transaction that rolls back unless committed. Values never go into SQL text.
//
// Thread-safety: a Connection (and everything taken from it) belongs to one
// thread at a time; callers serialise access.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>

namespace warden::sqlite {

// A failed SQLite call. `Code()` is the extended result code.
class Error : public std::runtime_error {
  public:
    Error(int code, const std::string& what) : std::runtime_error(what), m_code(code) {}
    int Code() const { return m_code; }

  private:
    int m_code;
};

class Connection;

// A prepared statement in use. Bind parameters are 1-based, as in SQLite.
// Resets itself and clears its bindings when destroyed, so a cached statement
// is always ready for its next use.
class Statement {
  public:
    Statement(sqlite3_stmt* stmt, sqlite3* db) : m_stmt(stmt), m_db(db) {}
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int index, int64_t value);
    Statement& Bind(int index, int value) { return Bind(index, static_cast<int64_t>(value)); }
    Statement& Bind(int index, std::string_view value);
    Statement& Bind(int index, const char* value) { return Bind(index, std::string_view(value)); }
    Statement& Bind(int index, const std::string& value) {
        return Bind(index, std::string_view(value));
    }
    Statement& BindNull(int index);

    // True while a row is available; false once the statement is done.
    bool Step();
    // Runs a statement that returns no rows.
    void Run();

    int64_t Int(int column) const { return sqlite3_column_int64(m_stmt, column); }
    std::string Text(int column) const;
    bool IsNull(int column) const { return sqlite3_column_type(m_stmt, column) == SQLITE_NULL; }

  private:
    sqlite3_stmt* m_stmt;
    sqlite3* m_db;
};

class Connection {
  public:
    // Opens (creating when `create`) the database file, with foreign keys on
    // and a busy timeout so that other connections' writes are waited for.
    Connection(const std::filesystem::path& file, bool create, int busyTimeoutMs = 10000);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Runs one or more statements without parameters (schema, pragmas).
    void Exec(const char* sql);

    // A cached prepared statement for `sql`. `sql` must be a string literal
    // (or otherwise outlive the connection): the cache is keyed by its text.
    // REQUIRES: the previous Statement of the same text is destroyed.
    Statement Prepare(const char* sql);

    // Changes whenever another connection, of this process or another,
    // has committed to the database since this one last looked.
    int64_t DataVersion();

    int64_t LastInsertRowId() const { return sqlite3_last_insert_rowid(m_db); }
    int Changes() const { return sqlite3_changes(m_db); }
    sqlite3* Handle() const { return m_db; }

  private:
    sqlite3* m_db = nullptr;
    std::unordered_map<std::string_view, sqlite3_stmt*> m_cache;
};

// The first column of the first row of `sql` run with `args` bound in order,
// or nullopt when there is no row (or the value is NULL).
template <class... Args>
std::optional<int64_t> QueryInt(Connection& connection, const char* sql, const Args&... args) {
    Statement stmt = connection.Prepare(sql);
    int index = 0;
    (stmt.Bind(++index, args), ...);
    if (!stmt.Step() || stmt.IsNull(0)) return std::nullopt;
    return stmt.Int(0);
}

// BEGIN on construction (IMMEDIATE takes the write lock at once), ROLLBACK on
// destruction unless Commit() was called.
class Transaction {
  public:
    enum class Kind { kDeferred, kImmediate };
    Transaction(Connection& connection, Kind kind);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void Commit();

  private:
    Connection& m_connection;
    bool m_open = true;
};

// A nested transaction inside an open one: Release() keeps its changes as
// part of the outer transaction; destruction without it undoes only them.
class Savepoint {
  public:
    explicit Savepoint(Connection& connection);
    ~Savepoint();
    Savepoint(const Savepoint&) = delete;
    Savepoint& operator=(const Savepoint&) = delete;

    void Release();

  private:
    Connection& m_connection;
    bool m_open = true;
};

}  // namespace warden::sqlite
