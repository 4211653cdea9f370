#include "server/store/Odbc.h"

#include <sql.h>
#include <sqlext.h>

#include <type_traits>

namespace warden {

static_assert(std::is_same_v<SQLLEN, long>, "indicator storage assumes SQLLEN is long");

namespace {

bool Ok(SQLRETURN rc) {
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

// Every diagnostic record of `handle`, so that a failure tells what the
// driver said rather than only that something failed.
[[noreturn]] void Throw(SQLSMALLINT type, SQLHANDLE handle, std::string_view what) {
    std::string message(what);
    std::string firstState;
    if (handle) {
        for (SQLSMALLINT i = 1;; ++i) {
            SQLCHAR state[6] = {};
            SQLINTEGER native = 0;
            SQLSMALLINT length = 0;
            std::string text(1024, '\0');
            SQLRETURN rc = SQLGetDiagRec(type, handle, i, state, &native,
                                         reinterpret_cast<SQLCHAR*>(text.data()),
                                         static_cast<SQLSMALLINT>(text.size()), &length);
            if (!Ok(rc)) break;
            if (length >= static_cast<SQLSMALLINT>(text.size())) {
                text.assign(static_cast<size_t>(length) + 1, '\0');
                SQLGetDiagRec(type, handle, i, state, &native,
                              reinterpret_cast<SQLCHAR*>(text.data()),
                              static_cast<SQLSMALLINT>(text.size()), &length);
            }
            text.resize(static_cast<size_t>(length));
            std::string sqlState(reinterpret_cast<char*>(state));
            if (firstState.empty()) firstState = sqlState;
            message += (i == 1 ? ": [" : "; [") + sqlState + "] " + text;
        }
    }
    throw OdbcError(message, firstState);
}

void Check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle, std::string_view what) {
    if (!Ok(rc)) Throw(type, handle, what);
}

}  // namespace

OdbcConnection::OdbcConnection(const std::string& connectionString) {
    SQLHENV env = SQL_NULL_HENV;
    if (!Ok(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        throw OdbcError("cannot create an ODBC environment", "");
    m_env = env;
    // From here on the destructor will not run if we throw: free by hand.
    try {
        Check(SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3),
                            0),
              SQL_HANDLE_ENV, env, "cannot select ODBC 3");
        SQLHDBC dbc = SQL_NULL_HDBC;
        Check(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_HANDLE_ENV, env,
              "cannot create an ODBC connection");
        m_dbc = dbc;
        std::string in = connectionString;
        SQLSMALLINT outLength = 0;
        Check(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(in.data()),
                               static_cast<SQLSMALLINT>(in.size()), nullptr, 0, &outLength,
                               SQL_DRIVER_NOPROMPT),
              SQL_HANDLE_DBC, dbc, "cannot connect");
    } catch (...) {
        if (m_dbc) SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
        SQLFreeHandle(SQL_HANDLE_ENV, m_env);
        throw;
    }
}

OdbcConnection::~OdbcConnection() {
    SQLDisconnect(m_dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, m_env);
}

int64_t OdbcConnection::Execute(std::string_view sql, const std::vector<OdbcValue>& params) {
    OdbcStatement statement(*this, sql);
    statement.Execute(params);
    return statement.AffectedRows();
}

void OdbcConnection::Begin() {
    Check(SQLSetConnectAttr(m_dbc, SQL_ATTR_AUTOCOMMIT,
                            reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER),
          SQL_HANDLE_DBC, m_dbc, "cannot begin a transaction");
}

void OdbcConnection::Commit() {
    Check(SQLEndTran(SQL_HANDLE_DBC, m_dbc, SQL_COMMIT), SQL_HANDLE_DBC, m_dbc, "cannot commit");
    Check(SQLSetConnectAttr(m_dbc, SQL_ATTR_AUTOCOMMIT,
                            reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), SQL_IS_UINTEGER),
          SQL_HANDLE_DBC, m_dbc, "cannot end a transaction");
}

void OdbcConnection::Rollback() noexcept {
    SQLEndTran(SQL_HANDLE_DBC, m_dbc, SQL_ROLLBACK);
    SQLSetConnectAttr(m_dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON),
                      SQL_IS_UINTEGER);
}

OdbcStatement::OdbcStatement(OdbcConnection& connection, std::string_view sql) {
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    Check(SQLAllocHandle(SQL_HANDLE_STMT, connection.m_dbc, &stmt), SQL_HANDLE_DBC,
          connection.m_dbc, "cannot create a statement");
    m_stmt = stmt;
    std::string text(sql);
    SQLRETURN rc = SQLPrepare(stmt, reinterpret_cast<SQLCHAR*>(text.data()),
                              static_cast<SQLINTEGER>(text.size()));
    if (!Ok(rc)) {
        try {
            Throw(SQL_HANDLE_STMT, stmt, "cannot prepare statement");
        } catch (...) {
            SQLFreeHandle(SQL_HANDLE_STMT, stmt);
            throw;
        }
    }
}

OdbcStatement::~OdbcStatement() {
    SQLFreeHandle(SQL_HANDLE_STMT, m_stmt);
}

void OdbcStatement::Execute(const std::vector<OdbcValue>& params) {
    SQLFreeStmt(m_stmt, SQL_CLOSE);
    SQLFreeStmt(m_stmt, SQL_RESET_PARAMS);
    // Sized once before binding: the driver keeps pointers into these.
    m_texts.assign(params.size(), std::string());
    m_integers.assign(params.size(), 0);
    m_indicators.assign(params.size(), 0);
    for (size_t i = 0; i < params.size(); ++i) {
        const auto number = static_cast<SQLUSMALLINT>(i + 1);
        SQLRETURN rc;
        if (const auto* text = std::get_if<std::string>(&params[i])) {
            m_texts[i] = *text;
            m_indicators[i] = static_cast<SQLLEN>(m_texts[i].size());
            // A column size of 0 is refused by some drivers, even for "".
            const SQLULEN size = m_texts[i].empty() ? 1 : m_texts[i].size();
            rc = SQLBindParameter(m_stmt, number, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, size, 0,
                                  m_texts[i].data(), m_indicators[i], &m_indicators[i]);
        } else if (const auto* integer = std::get_if<int64_t>(&params[i])) {
            m_integers[i] = *integer;
            rc = SQLBindParameter(m_stmt, number, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0,
                                  &m_integers[i], 0, nullptr);
        } else {
            m_indicators[i] = SQL_NULL_DATA;
            rc = SQLBindParameter(m_stmt, number, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 1, 0,
                                  nullptr, 0, &m_indicators[i]);
        }
        Check(rc, SQL_HANDLE_STMT, m_stmt, "cannot bind a parameter");
    }
    SQLRETURN rc = SQLExecute(m_stmt);
    // A statement that touched no row answers SQL_NO_DATA; that is no error.
    if (rc != SQL_NO_DATA) Check(rc, SQL_HANDLE_STMT, m_stmt, "statement failed");
}

bool OdbcStatement::Fetch() {
    SQLRETURN rc = SQLFetch(m_stmt);
    if (rc == SQL_NO_DATA) return false;
    Check(rc, SQL_HANDLE_STMT, m_stmt, "cannot fetch a row");
    return true;
}

std::optional<std::string> OdbcStatement::Text(int column) {
    std::string value;
    char buffer[4096];
    for (;;) {
        SQLLEN indicator = 0;
        SQLRETURN rc = SQLGetData(m_stmt, static_cast<SQLUSMALLINT>(column), SQL_C_CHAR, buffer,
                                  sizeof buffer, &indicator);
        if (rc == SQL_NO_DATA) break;  // the last piece was already read
        Check(rc, SQL_HANDLE_STMT, m_stmt, "cannot read a column");
        if (indicator == SQL_NULL_DATA) return std::nullopt;
        // A piece fills the buffer but for its terminator unless it is the last.
        size_t piece = (indicator == SQL_NO_TOTAL || indicator >= SQLLEN(sizeof buffer))
                           ? sizeof buffer - 1
                           : static_cast<size_t>(indicator);
        value.append(buffer, piece);
        if (rc == SQL_SUCCESS) break;
    }
    return value;
}

std::optional<int64_t> OdbcStatement::Integer(int column) {
    int64_t value = 0;
    SQLLEN indicator = 0;
    Check(SQLGetData(m_stmt, static_cast<SQLUSMALLINT>(column), SQL_C_SBIGINT, &value, sizeof value,
                     &indicator),
          SQL_HANDLE_STMT, m_stmt, "cannot read a column");
    if (indicator == SQL_NULL_DATA) return std::nullopt;
    return value;
}

int64_t OdbcStatement::AffectedRows() {
    SQLLEN rows = -1;
    if (!Ok(SQLRowCount(m_stmt, &rows))) return -1;
    return rows;
}

std::string SqliteOdbcDriver() {
    return WARDEN_SQLITE_ODBC_DRIVER;
}

std::string FillConnectionString(std::string_view pattern, std::string_view directory,
                                 std::string_view file) {
    std::string out;
    int positional = 0;
    for (size_t i = 0; i < pattern.size();) {
        std::string_view rest = pattern.substr(i);
        if (rest.starts_with("%%")) {
            out += '%';
            i += 2;
        } else if (rest.starts_with("%s")) {
            // The first "%s" is the directory, every later one the file.
            out += positional++ == 0 ? directory : file;
            i += 2;
        } else if (rest.starts_with("%DIR%")) {
            out += directory;
            i += 5;
        } else if (rest.starts_with("%FILE%")) {
            out += file;
            i += 6;
        } else {
            out += pattern[i++];
        }
    }
    return out;
}

}  // namespace warden
