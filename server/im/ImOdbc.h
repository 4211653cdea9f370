// A minimal ODBC connection for reading the IM directory's database: one
// connection, parameterised queries, rows read as 64-bit integers or UTF-8
// texts. Values are always bound, never put into SQL text.
//
// Thread-safety: none; the owner serialises calls.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace warden {

class OdbcError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

using OdbcParam = std::variant<int64_t, std::string>;

// The current row of a query, read column by column (1-based).
class OdbcRow {
  public:
    virtual ~OdbcRow() = default;
    virtual int64_t Int(int column) = 0;
    virtual std::string Text(int column) = 0;
};

class OdbcConnection {
  public:
    // Connects with `connectionString`, without any prompt. Throws OdbcError
    // with the driver manager's diagnostics.
    explicit OdbcConnection(const std::string& connectionString);
    ~OdbcConnection();
    OdbcConnection(const OdbcConnection&) = delete;
    OdbcConnection& operator=(const OdbcConnection&) = delete;

    // Runs `sql` with `params` bound to its "?" in order, calling `onRow` for
    // each row until it returns false. Throws OdbcError.
    void Query(const std::string& sql, const std::vector<OdbcParam>& params,
               const std::function<bool(OdbcRow&)>& onRow);

  private:
    struct Handles;
    std::unique_ptr<Handles> m_handles;
};

// The connection string for the directory database file `file` through the
// SQLite3 ODBC driver: never creates the file, waits for a busy writer.
std::string ImDatabaseConnectionString(const std::string& file);

}  // namespace warden
