#include "tests/support/PostgresCluster.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "server/store/Odbc.h"
#include "tests/support/ChildProcess.h"

namespace warden::test {

namespace {

using namespace std::chrono_literals;

constexpr const char kSuperuser[] = "warden_test";

// The newest installed server's programs; WARDEN_PG_BINDIR overrides.
std::filesystem::path FindBinDir() {
    if (const char* dir = std::getenv("WARDEN_PG_BINDIR")) return dir;
    std::filesystem::path best;
    int bestVersion = -1;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", ec)) {
        const int version = std::atoi(entry.path().filename().c_str());
        if (version > bestVersion && std::filesystem::exists(entry.path() / "bin" / "initdb")) {
            bestVersion = version;
            best = entry.path() / "bin";
        }
    }
    return best;
}

}  // namespace

PostgresCluster::PostgresCluster() {
    if (!Start()) Stop();
}

PostgresCluster::~PostgresCluster() {
    Stop();
}

std::string PostgresCluster::Connection(const std::string& database) const {
    return "DRIVER={PostgreSQL Unicode};Server=127.0.0.1;Port=" + std::to_string(m_port) +
           ";Database=" + database + ";Uid=" + kSuperuser + ";Pwd=" + m_password;
}

std::string PostgresCluster::CreateDatabase() {
    if (!Running()) throw std::runtime_error("no PostgreSQL server for the test: " + m_problem);
    const std::string name = "store_" + std::to_string(++m_databases);
    m_admin->Execute("CREATE DATABASE " + name);
    return Connection(name);
}

bool PostgresCluster::Start() {
    const std::filesystem::path bin = FindBinDir();
    if (bin.empty()) {
        m_problem =
            "PostgreSQL is not installed (no /usr/lib/postgresql/*/bin/initdb); "
            "scripts/bootstrap installs it";
        return false;
    }
    const Account account = UnprivilegedAccount("postgres", m_problem);
    if (!m_problem.empty()) return false;

    m_dir = MakeServerFolder("warden-pg", m_problem);
    if (m_dir.empty()) return false;
    m_password = RandomPassword();
    const std::filesystem::path pwFile = m_dir / "password";
    std::ofstream(pwFile) << m_password << "\n";
    if (!HandTo(m_dir, account) || !HandTo(pwFile, account)) {
        m_problem = "cannot hand " + m_dir.string() + " to the account \"postgres\"";
        return false;
    }
    const std::filesystem::path log = m_dir / "log";
    const int logFd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (logFd < 0) {
        m_problem = "cannot create " + log.string();
        return false;
    }

    const std::string data = (m_dir / "data").string();
    const int initdb = Spawn(
        {(bin / "initdb").string(), "-D", data, "-U", kSuperuser, "--pwfile=" + pwFile.string(),
         "--auth=scram-sha-256", "--encoding=UTF8", "--locale=C", "--no-sync"},
        account, logFd, SIGQUIT);
    const int initdbExit = initdb < 0 ? -1 : WaitExit(initdb);
    if (initdbExit != 0) {
        ::close(logFd);
        m_problem = initdbExit == 127 ? "cannot run " + (bin / "initdb").string()
                    : initdbExit == 126
                        ? "cannot switch to the account \"postgres\""
                        : "initdb failed (" + std::to_string(initdbExit) + "): " + ReadTail(log);
        return false;
    }

    // A port found free may be taken before the server binds it: then the
    // server exits at once, and another port is tried.
    std::string lastError;
    for (int attempt = 0; attempt < 3 && !m_admin && m_pid < 0; ++attempt) {
        m_port = FreePort();
        m_pid = Spawn({(bin / "postgres").string(), "-D", data, "-p", std::to_string(m_port), "-c",
                       "listen_addresses=127.0.0.1", "-c", "unix_socket_directories=", "-c",
                       "fsync=off", "-c", "synchronous_commit=off", "-c", "full_page_writes=off"},
                      account, logFd, SIGQUIT);
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (m_pid > 0 && std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                break;
            }
            try {
                m_admin = std::make_unique<OdbcConnection>(Connection("postgres"));
            } catch (const OdbcError& e) {
                lastError = e.what();
                std::this_thread::sleep_for(100ms);
            }
            if (m_admin) break;
        }
    }
    ::close(logFd);
    if (!m_admin) {
        m_problem = "the PostgreSQL server did not accept a connection (" + lastError +
                    "); its log: " + ReadTail(log);
        return false;
    }
    return true;
}

void PostgresCluster::Stop() {
    m_admin.reset();
    if (m_pid > 0) {
        StopChild(m_pid, SIGINT);  // fast shutdown: ends the sessions, then stops
        m_pid = -1;
    }
    if (!m_dir.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
        m_dir.clear();
    }
}

}  // namespace warden::test
