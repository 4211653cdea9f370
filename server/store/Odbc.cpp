#include "server/store/Odbc.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cctype>
#include <type_traits>

#include "protocol/SplitList.h"

namespace warden {

static_assert(std::is_same_v<SQLLEN, long>, "indicator storage assumes SQLLEN is long");

namespace {

// One "key=value" attribute of a connection string, as positions in it.
struct Attribute {
    std::string_view key;
    size_t valueBegin, valueEnd;
};

// The attributes of a connection string in order. A value in braces may hold
// ";" (and "}}" for a brace), as the driver manager reads it.
std::vector<Attribute> Attributes(std::string_view text) {
    std::vector<Attribute> out;
    size_t i = 0;
    while (i < text.size()) {
        const size_t equals = text.find('=', i);
        const size_t semicolon = text.find(';', i);
        if (equals == std::string_view::npos || semicolon < equals) {
            if (semicolon == std::string_view::npos) break;
            i = semicolon + 1;  // an attribute without a value
            continue;
        }
        Attribute a{text.substr(i, equals - i), equals + 1, equals + 1};
        size_t j = equals + 1;
        if (j < text.size() && text[j] == '{') {
            for (++j; j < text.size(); ++j) {
                if (text[j] != '}') continue;
                if (j + 1 < text.size() && text[j + 1] == '}') {
                    ++j;
                } else {
                    ++j;
                    break;
                }
            }
        }
        j = std::min(text.find(';', j), text.size());
        a.valueEnd = j;
        out.push_back(a);
        i = j + 1;
    }
    return out;
}

bool IsPasswordKey(std::string_view key) {
    auto equalsNoCase = [](std::string_view a, std::string_view b) {
        return a.size() == b.size() &&
               std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                   return std::tolower(static_cast<unsigned char>(x)) ==
                          std::tolower(static_cast<unsigned char>(y));
               });
    };
    while (!key.empty() && key.front() == ' ') key.remove_prefix(1);
    while (!key.empty() && key.back() == ' ') key.remove_suffix(1);
    return equalsNoCase(key, "PWD") || equalsNoCase(key, "Password");
}

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

bool OdbcConnection::Dead() {
    SQLUINTEGER dead = SQL_CD_FALSE;
    if (!Ok(SQLGetConnectAttr(m_dbc, SQL_ATTR_CONNECTION_DEAD, &dead, SQL_IS_UINTEGER, nullptr)))
        return false;
    return dead == SQL_CD_TRUE;
}

std::string OdbcConnection::DbmsName() {
    char name[256] = {};
    SQLSMALLINT length = 0;
    Check(SQLGetInfo(m_dbc, SQL_DBMS_NAME, name, sizeof name, &length), SQL_HANDLE_DBC, m_dbc,
          "cannot ask the database system's name");
    return name;
}

OdbcTransaction::OdbcTransaction(OdbcConnection& connection) : m_connection(connection) {
    Check(SQLSetConnectAttr(m_connection.m_dbc, SQL_ATTR_AUTOCOMMIT,
                            reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER),
          SQL_HANDLE_DBC, m_connection.m_dbc, "cannot begin a transaction");
}

OdbcTransaction::~OdbcTransaction() {
    if (!m_open) return;
    try {
        End(/*commit=*/false);
    } catch (const OdbcError&) {
        // Nothing more can be done; the database drops the work when the
        // connection closes.
    }
}

void OdbcTransaction::Commit() {
    End(/*commit=*/true);
}

void OdbcTransaction::End(bool commit) {
    m_open = false;
    SQLHDBC dbc = m_connection.m_dbc;
    SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, dbc, commit ? SQL_COMMIT : SQL_ROLLBACK);
    if (!Ok(rc) && commit) {
        // Keep the driver's reason, then make sure nothing half-done stays.
        try {
            Throw(SQL_HANDLE_DBC, dbc, "cannot commit");
        } catch (...) {
            SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_ROLLBACK);
            SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT,
                              reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), SQL_IS_UINTEGER);
            throw;
        }
    }
    Check(SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT,
                            reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), SQL_IS_UINTEGER),
          SQL_HANDLE_DBC, dbc, "cannot end a transaction");
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

bool ConnectionHoldsPassword(std::string_view connection) {
    for (const Attribute& a : Attributes(connection)) {
        if (!IsPasswordKey(a.key)) continue;
        std::string_view value = connection.substr(a.valueBegin, a.valueEnd - a.valueBegin);
        if (!value.empty() && value != "{}") return true;
    }
    return false;
}

std::string ConnectionAttribute(std::string_view connection, std::string_view key) {
    for (const Attribute& a : Attributes(connection)) {
        if (!EqualsNoCase(Trim(a.key), key)) continue;
        std::string_view value = connection.substr(a.valueBegin, a.valueEnd - a.valueBegin);
        if (value.size() >= 2 && value.front() == '{' && value.back() == '}') {
            value = value.substr(1, value.size() - 2);
        }
        return std::string(Trim(value));
    }
    return {};
}

std::optional<std::string> UnverifiedRemotePostgres(std::string_view connection) {
    if (LowerAscii(ConnectionAttribute(connection, "DRIVER")).find("postgres") ==
        std::string::npos) {
        return std::nullopt;
    }
    std::string host;
    for (const char* key : {"Servername", "Server", "Host"}) {
        if (host.empty()) host = ConnectionAttribute(connection, key);
    }
    // Empty or a socket folder: the local socket; or this machine's loopback.
    const bool local = host.empty() || host.front() == '/' || EqualsNoCase(host, "localhost") ||
                       host.starts_with("127.") || host == "::1";
    if (local) return std::nullopt;
    std::string mode = LowerAscii(ConnectionAttribute(connection, "SSLmode"));
    if (mode == "verify-full" || mode == "verify-ca") return std::nullopt;
    return host;
}

std::string HidePassword(std::string_view connection) {
    std::string out;
    size_t copied = 0;
    for (const Attribute& a : Attributes(connection)) {
        if (!IsPasswordKey(a.key) || a.valueBegin == a.valueEnd) continue;
        out.append(connection.substr(copied, a.valueBegin - copied));
        out += "***";
        copied = a.valueEnd;
    }
    out.append(connection.substr(copied));
    return out;
}

}  // namespace warden
