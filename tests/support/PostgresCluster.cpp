#include "tests/support/PostgresCluster.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "server/store/Odbc.h"

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

std::string RandomPassword() {
    std::random_device random;
    std::string out;
    for (int i = 0; i < 24; ++i) out += "0123456789abcdef"[random() % 16];
    return out;
}

int FreePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) == 0) {
        port = ntohs(addr.sin_port);
    }
    ::close(fd);
    return port;
}

std::string ReadTail(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    std::string all = text.str();
    return all.size() > 2000 ? "..." + all.substr(all.size() - 2000) : all;
}

// The account the server runs as: the caller, unless that is root.
struct Account {
    bool switchTo = false;
    uid_t uid = 0;
    gid_t gid = 0;
};

// Starts `argv` as `account`, its output going to `logFd`. The child is
// stopped with SIGQUIT if this process dies before stopping it.
int Spawn(const std::vector<std::string>& argv, const Account& account, int logFd) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t parent = ::getpid();
    const int pid = ::fork();
    if (pid != 0) return pid;
    ::dup2(logFd, STDOUT_FILENO);
    ::dup2(logFd, STDERR_FILENO);
    int devNull = ::open("/dev/null", O_RDONLY);
    ::dup2(devNull, STDIN_FILENO);
    if (account.switchTo && (::setgroups(0, nullptr) != 0 || ::setgid(account.gid) != 0 ||
                             ::setuid(account.uid) != 0)) {
        ::_exit(126);
    }
    // Set after the change of account, which clears it.
    ::prctl(PR_SET_PDEATHSIG, SIGQUIT);
    if (::getppid() != parent) ::_exit(125);
    ::execv(args[0], args.data());
    ::_exit(127);
}

int WaitExit(int pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
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
    Account account;
    if (::geteuid() == 0) {
        const passwd* user = ::getpwnam("postgres");
        if (!user) {
            m_problem =
                "running as root, and there is no account \"postgres\" to run PostgreSQL as";
            return false;
        }
        account = {true, user->pw_uid, user->pw_gid};
    }

    std::string pattern = (std::filesystem::temp_directory_path() / "warden-pg-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        m_problem = "cannot create a temporary folder";
        return false;
    }
    m_dir = pattern;
    m_password = RandomPassword();
    const std::filesystem::path pwFile = m_dir / "password";
    std::ofstream(pwFile) << m_password << "\n";
    if (account.switchTo && (::chown(m_dir.c_str(), account.uid, account.gid) != 0 ||
                             ::chown(pwFile.c_str(), account.uid, account.gid) != 0)) {
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
        account, logFd);
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
                      account, logFd);
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
        ::kill(m_pid, SIGINT);  // fast shutdown: ends the sessions, then stops
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        int status = 0;
        while (::waitpid(m_pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(m_pid, SIGKILL);
                ::waitpid(m_pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(20ms);
        }
        m_pid = -1;
    }
    if (!m_dir.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
        m_dir.clear();
    }
}

}  // namespace warden::test
