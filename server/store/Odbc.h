// A small RAII layer over the ODBC C interface: one connection (with its own
// environment), statements with bound parameters, rows read column by column,
// and errors that carry the driver's diagnostics.
//
// Values always travel as bound parameters ("?" markers); nothing here formats
// a value into SQL text.
//
// Thread-safety: none. An OdbcConnection and its statements belong to one
// thread at a time; callers that share a connection guard it themselves.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace warden {

// A failed ODBC call. what() holds every diagnostic record of the handle,
// each as "[SQLSTATE] message".
class OdbcError : public std::runtime_error {
  public:
    OdbcError(const std::string& message, std::string sqlState)
        : std::runtime_error(message), m_sqlState(std::move(sqlState)) {}
    // The SQLSTATE of the first diagnostic record; empty when there was none.
    const std::string& SqlState() const { return m_sqlState; }

  private:
    std::string m_sqlState;
};

// The value of one "?" marker: SQL NULL, an integer or a text (UTF-8).
using OdbcValue = std::variant<std::nullptr_t, int64_t, std::string>;

class OdbcConnection {
  public:
    // Connects with `connectionString`, never prompting. Throws OdbcError.
    explicit OdbcConnection(const std::string& connectionString);
    ~OdbcConnection();  // disconnects; an error while doing so is ignored
    OdbcConnection(const OdbcConnection&) = delete;
    OdbcConnection& operator=(const OdbcConnection&) = delete;

    // Runs a statement that returns no rows; returns the number of rows it
    // changed (-1 when the driver cannot tell). Throws OdbcError.
    int64_t Execute(std::string_view sql, const std::vector<OdbcValue>& params = {});

    // Whether the driver has found the link to its database lost (a failed
    // call finds it out). Such a connection never works again.
    bool Dead();

    // The name the driver gives its database system ("SQLite", "PostgreSQL").
    // Throws OdbcError.
    std::string DbmsName();

  private:
    friend class OdbcStatement;
    friend class OdbcTransaction;
    void* m_env = nullptr;
    void* m_dbc = nullptr;
};

class OdbcStatement {
  public:
    // Prepares `sql` on `connection`, which must outlive the statement.
    // Throws OdbcError.
    OdbcStatement(OdbcConnection& connection, std::string_view sql);
    ~OdbcStatement();
    OdbcStatement(const OdbcStatement&) = delete;
    OdbcStatement& operator=(const OdbcStatement&) = delete;

    // Binds `params` to the markers in order and runs the statement; an open
    // result of an earlier run is closed first. Throws OdbcError.
    void Execute(const std::vector<OdbcValue>& params = {});

    // Moves to the next row of the result; false after the last one.
    bool Fetch();

    // Column values of the current row, columns counted from 1; nullopt for
    // SQL NULL. Texts of any length are read whole.
    // REQUIRES: Fetch() returned true; each column read at most once per row,
    // in increasing column order (what every driver supports).
    std::optional<std::string> Text(int column);
    std::optional<int64_t> Integer(int column);

    // Rows changed by the last Execute (-1 when the driver cannot tell).
    int64_t AffectedRows();

  private:
    void* m_stmt = nullptr;
    // Bound values must stay put until the statement has run.
    std::vector<std::string> m_texts;
    std::vector<int64_t> m_integers;
    std::vector<long> m_indicators;
};

// Makes the statements run on a connection during its lifetime take effect
// together: Commit() keeps them; leaving without Commit() undoes them all.
// Auto-commit is back on afterwards either way.
class OdbcTransaction {
  public:
    // REQUIRES: no other transaction is open on `connection`. Throws OdbcError.
    explicit OdbcTransaction(OdbcConnection& connection);
    ~OdbcTransaction();  // rolls back unless committed; an error then is ignored
    OdbcTransaction(const OdbcTransaction&) = delete;
    OdbcTransaction& operator=(const OdbcTransaction&) = delete;

    // Throws OdbcError; the transaction is then rolled back.
    void Commit();

  private:
    void End(bool commit);

    OdbcConnection& m_connection;
    bool m_open = true;
};

// The SQLite3 ODBC driver as a DRIVER= value: its library path where the build
// found it (so no registration in odbcinst.ini is needed), else "SQLite3".
std::string SqliteOdbcDriver();

// Fills the placeholders of a configured connection string: the first "%s"
// takes the directory and every later one the file; "%DIR%" and "%FILE%" name
// them directly; "%%" is one "%". Anything else is kept as is.
std::string FillConnectionString(std::string_view pattern, std::string_view directory,
                                 std::string_view file);

// Whether a connection string carries a non-empty password ("PWD=" or
// "Password=", keys in any case, values braced or not).
bool ConnectionHoldsPassword(std::string_view connection);

// The value of attribute `key` (any letter case, braces taken off) in
// `connection`; empty when it has none.
std::string ConnectionAttribute(std::string_view connection, std::string_view key);

// For a PostgreSQL connection to another machine whose server certificate is
// not verified (SSLmode neither verify-full nor verify-ca): the host; nullopt
// for any other connection.
std::optional<std::string> UnverifiedRemotePostgres(std::string_view connection);

// `connection` with every password value replaced by "***", for messages.
std::string HidePassword(std::string_view connection);

}  // namespace warden
