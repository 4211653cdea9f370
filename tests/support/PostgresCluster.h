// A throw-away PostgreSQL server for tests: a cluster made with initdb in a
// temporary folder, listening on a free loopback port with password
// authentication, run under the unprivileged account "postgres" (which
// Debian's package creates) when the tests run as root, since PostgreSQL
// refuses to run as root. It is stopped, and its folder removed, when the
// object goes; should the test program die first, the kernel stops it.
//
// Tests reach it through ODBC with Debian's "PostgreSQL Unicode" driver, the
// way a site would.
//
// Thread-safety: none; one test thread at a time.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace warden {
class OdbcConnection;
}

namespace warden::test {

class PostgresCluster {
  public:
    PostgresCluster();  // starts the server; Running() or Problem() tells how it went
    ~PostgresCluster();
    PostgresCluster(const PostgresCluster&) = delete;
    PostgresCluster& operator=(const PostgresCluster&) = delete;

    bool Running() const { return m_pid > 0 && m_admin != nullptr; }
    // Why the server is not running; empty while it runs.
    const std::string& Problem() const { return m_problem; }
    int Port() const { return m_port; }

    // An ODBC connection string for `database` as the cluster's superuser.
    std::string Connection(const std::string& database) const;

    // Creates an empty database under a new name and returns its connection
    // string. Throws std::runtime_error (with Problem()) when not running.
    std::string CreateDatabase();

  private:
    bool Start();
    void Stop();

    std::filesystem::path m_dir;
    std::string m_password;
    int m_port = 0;
    int m_pid = -1;
    int m_databases = 0;
    std::string m_problem;
    std::unique_ptr<OdbcConnection> m_admin;
};

// The one cluster of a test program that links PostgresEnvironment.cpp,
// started before its first test and stopped after its last. A program that
// cannot start it fails every test that asks for it, saying why.
PostgresCluster& SharedPostgres();

}  // namespace warden::test
