// warden-console-bench: how long a department takes to show in the main
// window: the time until its accounts are listed, until the first record
// and until the last, and the longest time the window went without
// handling events meanwhile. Runs the real window offscreen against a
// warden-server, e.g. one on `vexdir-tool large` whose department
// \总部\规划部\项目组001 holds 5,000 users; over TLS (the server's
// certificate is taken as it is and its fingerprint printed) or, with
// --plain, over the plain port.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "bench/console/BenchConsole.h"
#include "console/core/ConsoleTransport.h"
#include "console/core/LoginLogic.h"
#include "console/core/MainWindow.h"
#include "console/core/QtWaitObserver.h"
#include "protocol/SplitList.h"

using namespace warden;
using namespace warden::console;

namespace {

const DeptNode* Child(const DeptNode& parent, const std::string& path) {
    for (const auto& child : parent.children) {
        if (child->path == path) return child.get();
    }
    return nullptr;
}

struct Run {
    double accounts, firstRecord, complete, longestStall;
    int rows;
};

}  // namespace

int main(int argc, char** argv) {
    std::string host = "127.0.0.1", port, user = "admin", password = "admin";
    std::string dept = "\\总部\\规划部\\项目组001";
    int runs = 3;
    WireSecurity security = WireSecurity::kTls;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto next = [&] { return i + 1 < argc ? std::string(argv[++i]) : std::string(); };
        if (arg == "--connect") {
            std::string target = next();
            host = target.substr(0, target.find(':'));
            port = target.substr(target.find(':') + 1);
        } else if (arg == "--user") {
            user = next();
        } else if (arg == "--password") {
            password = next();
        } else if (arg == "--dept") {
            dept = next();
        } else if (arg == "--runs") {
            runs = std::stoi(next());
        } else if (arg == "--plain") {
            security = WireSecurity::kPlain;
        } else {
            std::fputs(
                "usage: warden-console-bench --connect HOST:PORT [--user U] [--password P]\n"
                "       [--dept PATH] [--runs N] [--plain]\n",
                stderr);
            return 2;
        }
    }
    if (port.empty()) {
        std::fputs("warden-console-bench: --connect HOST:PORT names the server to measure\n",
                   stderr);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    PrintingSink sink;
    QtWaitObserver waits;
    PrintingJudge judge;
    ConsoleTransport transport(sink);
    transport.SetWaitObserver(&waits);
    transport.SetCertificateJudge(&judge);
    LoginState login;
    LoginLogic loginLogic(transport, sink, login, std::filesystem::temp_directory_path());
    if (!loginLogic.Press({host, port, user, password, security}).success) {
        std::fputs("login failed\n", stderr);
        return 1;
    }
    DialogRegistry dialogs;
    MainWindow window(transport, sink, login, dialogs);
    window.show();
    MainWindowLogic& logic = window.Logic();

    std::vector<Run> results;
    for (int r = 0; r < runs; ++r) {
        // Walk down to the department, clicking each ancestor as a user would.
        logic.ReloadDeptTree();
        const DeptNode* node = &logic.TreeRoot();
        std::string prefix;
        for (const std::string& name : SplitList(dept, "\\")) {
            prefix += "\\" + name;
            node = Child(*node, prefix);
            if (node == nullptr) {
                std::fprintf(stderr, "no department %s\n", prefix.c_str());
                return 1;
            }
            if (prefix != dept) logic.ClickDept(node);
        }

        QElapsedTimer clock;
        qint64 lastTick = 0, longest = 0;
        QTimer heartbeat;
        heartbeat.setInterval(1);
        QObject::connect(&heartbeat, &QTimer::timeout, [&] {
            qint64 now = clock.nsecsElapsed();
            longest = std::max(longest, now - lastTick);
            lastTick = now;
        });
        clock.start();
        logic.ClickDept(node);
        Run run{};
        run.accounts = clock.nsecsElapsed() / 1e6;
        run.rows = logic.Users().Size();
        lastTick = clock.nsecsElapsed();
        heartbeat.start();
        while (logic.PendingRecords() > 0) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            if (run.firstRecord == 0 && run.rows > 0 && logic.Users().At(0).recordLoaded) {
                run.firstRecord = clock.nsecsElapsed() / 1e6;
            }
        }
        run.complete = clock.nsecsElapsed() / 1e6;
        heartbeat.stop();
        run.longestStall = longest / 1e6;
        std::printf(
            "run %d: %d rows; accounts listed %.1f ms, first record %.1f ms, all records %.1f ms, "
            "longest stall %.1f ms\n",
            r + 1, run.rows, run.accounts, run.firstRecord, run.complete, run.longestStall);
        results.push_back(run);
    }
    auto median = [&](double Run::*field) {
        std::vector<double> values;
        for (const Run& run : results) values.push_back(run.*field);
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    std::printf(
        "median: accounts listed %.1f ms, first record %.1f ms, all records %.1f ms, "
        "longest stall %.1f ms\n",
        median(&Run::accounts), median(&Run::firstRecord), median(&Run::complete),
        median(&Run::longestStall));
    return 0;
}
