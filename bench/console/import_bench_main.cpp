// warden-import-bench: how long "导入用户" takes for a file of N new users,
// its check and its import apart, against a running warden-server (e.g. the
// demo of scripts/run-server). Beside it, in the same run, the baseline: the
// same number of bare "UserAdd.asp" requests on a second connection, the least
// any import through the server's ordinary requests can cost, sent one after
// each row of the import, so that the drift of a shared machine hits both
// alike. With --passwords K the first K imported rows carry a password, and
// the server's time to hash each is reported as the import measured it.
//
// Both connections go to the TLS port (the server's certificate is taken as
// it is), or with --plain to the plain port. Every user it adds is deleted
// again at the end.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "bench/WireClient.h"
#include "bench/console/BenchConsole.h"
#include "console/core/ConsoleTransport.h"
#include "console/core/LoginLogic.h"
#include "console/dialogs/UserImportLogic.h"

using namespace warden;
using namespace warden::console;
using Clock = std::chrono::steady_clock;

namespace {

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string Account(const char* kind, int i) {
    return std::string("bench-") + kind + "-" + std::to_string(i);
}

}  // namespace

int main(int argc, char** argv) {
    std::string port, password = "admin", dept = "\\研发中心\\平台组";
    int rows = 1000, passwords = 0;
    WireSecurity security = WireSecurity::kTls;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto next = [&] { return i + 1 < argc ? std::string(argv[++i]) : std::string(); };
        if (arg == "--port") {
            port = next();
        } else if (arg == "--password") {
            password = next();
        } else if (arg == "--dept") {
            dept = next();
        } else if (arg == "--rows") {
            rows = std::stoi(next());
        } else if (arg == "--passwords") {
            passwords = std::stoi(next());
        } else if (arg == "--plain") {
            security = WireSecurity::kPlain;
        } else {
            port.clear();
            break;
        }
    }
    if (port.empty() || rows < 1 || passwords < 0 || passwords > rows) {
        std::fputs(
            "usage: warden-import-bench --port PORT [--password ADMIN_PASSWORD] [--dept PATH]\n"
            "       [--rows N] [--passwords K] [--plain]   (a server on 127.0.0.1)\n",
            stderr);
        return 2;
    }

    bench::WireClient raw(std::stoi(port), security == WireSecurity::kTls);
    if (!raw.Login(password)) {
        std::fputs("the baseline's login failed\n", stderr);
        return 1;
    }
    auto addRaw = [&](int i) {
        return raw.AskText("UserAdd.asp?username=" + Account("raw", i) + "`deptname=" + dept +
                           "|`name=基准" + std::to_string(i) + "`position=`gender=男`mobile=138" +
                           "`phone=`email=`pwd=`roles=`level=");
    };
    double baseline = 0;
    int rawRows = 0;
    // One bare request, timed apart; false when the server refused it.
    auto timedRaw = [&] {
        const Clock::time_point sent = Clock::now();
        std::optional<std::string> reply = addRaw(rawRows);
        baseline += Since(sent);
        if (!reply || reply->rfind("info:", 0) != 0) {
            std::fprintf(stderr, "baseline row %d: %s\n", rawRows,
                         reply ? reply->c_str() : "no reply");
            return false;
        }
        ++rawRows;
        return true;
    };

    PrintingSink sink;
    PrintingJudge judge;
    ConsoleTransport transport(sink);
    transport.SetCertificateJudge(&judge);
    LoginState login;
    LoginLogic loginLogic(transport, sink, login, std::filesystem::temp_directory_path());
    if (!loginLogic.Press({"127.0.0.1", port, "admin", password, security}).success) return 1;
    std::string csv = "帐号,姓名,性别,职务,手机,电话,邮件,部门,角色,密码\n";
    for (int i = 0; i < rows; ++i) {
        csv += Account("imp", i) + ",导入" + std::to_string(i) + ",男,,138,,," + dept + ",," +
               (i < passwords ? "pw-" + std::to_string(i) : "") + "\n";
    }
    UserImportLogic import(transport, sink, login);
    Clock::time_point start = Clock::now();
    if (!import.LoadBytes(csv)) return 1;
    while (import.Step()) {
    }
    const double check = Since(start);
    import.Start(ExistingAccounts::kSkip);
    double run = 0;
    for (bool more = true; more;) {
        start = Clock::now();
        more = import.Step();
        run += Since(start);
        if (rawRows < rows && !timedRaw()) return 1;
    }
    while (rawRows < rows) {
        if (!timedRaw()) return 1;
    }
    const ImportProgress progress = import.Progress();
    std::printf("%s\n", import.Summary().c_str());
    std::printf("baseline: %d bare UserAdd.asp   %.2f s\n", rows, baseline);
    std::printf("import:   check %.2f s + import %.2f s = %.2f s   (%.2f x the baseline)\n", check,
                run, check + run, (check + run) / baseline);
    if (progress.secondsPerPassword) {
        std::printf("          %d rows with a password, %.3f s each as the import measured it\n",
                    passwords, *progress.secondsPerPassword);
    }

    for (int i = 0; i < rows; ++i) {
        raw.AskText("UserDelete.asp?username=" + Account("raw", i));
        raw.AskText("UserDelete.asp?username=" + Account("imp", i));
    }
    return import.Count(ImportState::kAdded) == rows ? 0 : 1;
}
