#include "server/im/ImOdbc.h"

#include <sql.h>
#include <sqlext.h>

namespace warden {

namespace {

std::string Diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
    std::string out;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLCHAR state[6] = {};
        SQLCHAR message[512] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        SQLRETURN rc =
            SQLGetDiagRec(type, handle, record, state, &native, message, sizeof message, &length);
        if (!SQL_SUCCEEDED(rc)) break;
        if (!out.empty()) out += "; ";
        out += reinterpret_cast<const char*>(state);
        out += ": ";
        out += reinterpret_cast<const char*>(message);
    }
    return out.empty() ? "unknown ODBC error" : out;
}

void Check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle, const char* what) {
    if (!SQL_SUCCEEDED(rc)) throw OdbcError(std::string(what) + ": " + Diagnostics(type, handle));
}

class StatementRow final : public OdbcRow {
  public:
    explicit StatementRow(SQLHSTMT stmt) : m_stmt(stmt) {}

    int64_t Int(int column) override {
        SQLBIGINT value = 0;
        SQLLEN indicator = 0;
        Check(SQLGetData(m_stmt, static_cast<SQLUSMALLINT>(column), SQL_C_SBIGINT, &value,
                         sizeof value, &indicator),
              SQL_HANDLE_STMT, m_stmt, "read a number");
        return indicator == SQL_NULL_DATA ? 0 : static_cast<int64_t>(value);
    }

    std::string Text(int column) override {
        std::string out;
        char buffer[1024];
        for (;;) {
            SQLLEN indicator = 0;
            SQLRETURN rc = SQLGetData(m_stmt, static_cast<SQLUSMALLINT>(column), SQL_C_CHAR, buffer,
                                      sizeof buffer, &indicator);
            if (rc == SQL_NO_DATA) break;
            Check(rc, SQL_HANDLE_STMT, m_stmt, "read a text");
            if (indicator == SQL_NULL_DATA) break;
            // A long value comes in pieces, each but the last filling the buffer.
            const size_t piece = indicator == SQL_NO_TOTAL || indicator >= SQLLEN(sizeof buffer)
                                     ? sizeof buffer - 1
                                     : static_cast<size_t>(indicator);
            out.append(buffer, piece);
            if (rc == SQL_SUCCESS) break;
        }
        return out;
    }

  private:
    SQLHSTMT m_stmt;
};

}  // namespace

struct OdbcConnection::Handles {
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    bool connected = false;

    ~Handles() {
        if (connected) SQLDisconnect(dbc);
        if (dbc != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        if (env != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, env);
    }
};

OdbcConnection::OdbcConnection(const std::string& connectionString)
    : m_handles(std::make_unique<Handles>()) {
    Handles& h = *m_handles;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h.env))) {
        throw OdbcError("cannot allocate an ODBC environment");
    }
    Check(
        SQLSetEnvAttr(h.env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
        SQL_HANDLE_ENV, h.env, "set the ODBC version");
    Check(SQLAllocHandle(SQL_HANDLE_DBC, h.env, &h.dbc), SQL_HANDLE_ENV, h.env,
          "allocate a connection");
    SQLCHAR out[1024];
    SQLSMALLINT outLength = 0;
    Check(SQLDriverConnect(h.dbc, nullptr,
                           reinterpret_cast<SQLCHAR*>(const_cast<char*>(connectionString.c_str())),
                           SQL_NTS, out, sizeof out, &outLength, SQL_DRIVER_NOPROMPT),
          SQL_HANDLE_DBC, h.dbc, "connect");
    h.connected = true;
}

OdbcConnection::~OdbcConnection() = default;

void OdbcConnection::Query(const std::string& sql, const std::vector<OdbcParam>& params,
                           const std::function<bool(OdbcRow&)>& onRow) {
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    Check(SQLAllocHandle(SQL_HANDLE_STMT, m_handles->dbc, &stmt), SQL_HANDLE_DBC, m_handles->dbc,
          "allocate a statement");
    struct Free {
        SQLHSTMT stmt;
        ~Free() { SQLFreeHandle(SQL_HANDLE_STMT, stmt); }
    } freeLater{stmt};

    // Bound values must stay put until the statement has run.
    std::vector<SQLBIGINT> numbers(params.size());
    std::vector<SQLLEN> lengths(params.size());
    for (size_t i = 0; i < params.size(); ++i) {
        const auto index = static_cast<SQLUSMALLINT>(i + 1);
        SQLRETURN rc;
        if (const auto* number = std::get_if<int64_t>(&params[i])) {
            numbers[i] = *number;
            lengths[i] = 0;
            rc = SQLBindParameter(stmt, index, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0,
                                  &numbers[i], 0, &lengths[i]);
        } else {
            const std::string& text = std::get<std::string>(params[i]);
            lengths[i] = static_cast<SQLLEN>(text.size());
            rc = SQLBindParameter(stmt, index, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR,
                                  text.size() + 1, 0, const_cast<char*>(text.data()), lengths[i],
                                  &lengths[i]);
        }
        Check(rc, SQL_HANDLE_STMT, stmt, "bind a parameter");
    }
    Check(SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS),
          SQL_HANDLE_STMT, stmt, "run a query");
    StatementRow row(stmt);
    for (;;) {
        SQLRETURN rc = SQLFetch(stmt);
        if (rc == SQL_NO_DATA) break;
        Check(rc, SQL_HANDLE_STMT, stmt, "fetch a row");
        if (!onRow(row)) break;
    }
    SQLCloseCursor(stmt);
}

std::string ImDatabaseConnectionString(const std::string& file) {
    // Timeout: milliseconds to wait for a writer; NoCreat: a wrong folder must
    // not leave an empty database behind.
    return "DRIVER=SQLite3;Database=" + file + ";Timeout=10000;NoCreat=1";
}

}  // namespace warden
