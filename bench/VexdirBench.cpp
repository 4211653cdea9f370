// Latency of the embedded directory's read operations on a large generated
// organisation (10,000 departments, 100,000 users), measured at the directory
// itself: what the server's busiest requests cost before any networking.
//
//   vexdir_bench [--iterations N] [--keep DIR]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>
#include <pugixml.hpp>

#include "protocol/SplitList.h"
#include "server/im/DeptOrdering.h"
#include "server/im/SdkApiLibrary.h"
#include "vexdir/Generator.h"
#include "vexdir/VexDirectory.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> Names(const std::string& xml, const char* element) {
    pugi::xml_document doc;
    doc.load_string(xml.c_str());
    std::vector<std::string> out;
    for (auto node : doc.select_nodes((std::string("//") + element).c_str())) {
        out.push_back(node.node().attribute("Name").value());
    }
    return out;
}

void Report(const char* what, std::vector<double> micros) {
    std::sort(micros.begin(), micros.end());
    auto at = [&](double q) { return micros[static_cast<size_t>(q * (micros.size() - 1))]; };
    double sum = 0;
    for (double m : micros) sum += m;
    std::printf("%-44s n=%-6zu mean=%8.1f us  p50=%8.1f us  p99=%8.1f us  max=%8.1f us\n", what,
                micros.size(), sum / micros.size(), at(0.5), at(0.99), micros.back());
}

// Runs `op` `n` times with the index of the run; returns each run's microseconds.
std::vector<double> Time(int n, const std::function<void(int)>& op) {
    std::vector<double> micros;
    micros.reserve(n);
    for (int i = 0; i < n; ++i) {
        auto start = Clock::now();
        op(i);
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    return micros;
}

}  // namespace

int main(int argc, char** argv) {
    int iterations = 5000;
    std::filesystem::path keep;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string arg = argv[i];
        if (arg == "--iterations")
            iterations = std::max(10, std::atoi(argv[i + 1]));
        else if (arg == "--keep")
            keep = argv[i + 1];
    }
    std::filesystem::path dir = keep;
    if (dir.empty()) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vexdir-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) return 1;
        dir = pattern;
    }

    auto start = Clock::now();
    auto summary = warden::vexdir::GenerateLarge(dir, {});
    std::printf("generated %d departments, %d users in %.2f s\n", summary.departments,
                summary.users, std::chrono::duration<double>(Clock::now() - start).count());

    auto root = warden::OpenVexDirectory(dir);
    auto& depts = root->GetDeptManager();
    auto& users = root->GetUserManager();

    // Walk the tree once: parents to list, the departments of 50 users and
    // their accounts to look up.
    std::vector<std::string> parents = {""};
    std::vector<std::string> seconds;
    std::vector<std::string> fifty;
    std::vector<std::string> accounts;
    for (const auto& top : Names(depts.GetChildDepts(""), "Department")) {
        parents.push_back("\\" + top);
        for (const auto& second : Names(depts.GetChildDepts("\\" + top), "Department")) {
            seconds.push_back("\\" + top + "\\" + second);
        }
    }
    parents.insert(parents.end(), seconds.begin(), seconds.end());
    for (const auto& second : seconds) {
        for (const auto& third : Names(depts.GetChildDepts(second), "Department")) {
            const std::string path = second + "\\" + third;
            auto members = Names(depts.GetDeptUsers(path), "User");
            if (members.size() == 50) {
                fifty.push_back(path);
                accounts.insert(accounts.end(), members.begin(), members.begin() + 5);
            }
        }
    }
    std::printf("%zu parents, %zu departments of 50 users, %zu sample accounts\n\n", parents.size(),
                fifty.size(), accounts.size());

    std::mt19937 random(42);
    auto pick = [&](const std::vector<std::string>& from) {
        return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(random)];
    };
    size_t sink = 0;
    Report("GetChildDepts (top, 2nd level: 10-99 children)",
           Time(iterations, [&](int) { sink += depts.GetChildDepts(pick(parents)).size(); }));
    Report("GetDeptUsers (50 users)",
           Time(iterations, [&](int) { sink += depts.GetDeptUsers(pick(fifty)).size(); }));
    Report("GetUserBasicInfo + GetUserUin + GetUserDetail", Time(iterations, [&](int) {
               const std::string& account = pick(accounts);
               sink += users.GetUserBasicInfo(account).name.size();
               sink += static_cast<size_t>(users.GetUserUin(account));
               sink += users.GetUserDetail(account).texts[9].size();
           }));
    Report("GetUserRecord (the same in one read)", Time(iterations, [&](int) {
               sink += users.GetUserRecord(pick(accounts)).basic.name.size();
           }));
    Report("GetDeptUsers (5,000 users)", Time(std::max(10, iterations / 20), [&](int) {
               sink += depts.GetDeptUsers(summary.bigDepartment).size();
           }));
    Report("GetUserDepts",
           Time(iterations, [&](int) { sink += depts.GetUserDepts(pick(accounts)).size(); }));

    // The search box's request: the first 100 users found, each with his
    // departments, for texts that find many, a few or nobody.
    for (const char* text : {"张伟", "139000", "u0999", "example", "zzzq"}) {
        size_t found = 0;
        const auto micros = Time(std::max(10, iterations / 10), [&](int) {
            found = 0;
            users.SearchUsers(text, [&](warden::UserMatch&& match) {
                sink += match.depts.size();
                return ++found < 100;
            });
        });
        const std::string label = "SearchUsers \"" + std::string(text) + "\" (" +
                                  std::to_string(found) + " found)";
        Report(label.c_str(), micros);
    }

    // One "SetDeptOrder.asp" without the network: two lookups over ODBC and
    // the library loaded, used and unloaded, among 99 siblings.
    {
        warden::DeptOrdering ordering(dir, "127.0.0.1", warden::SdkApiLibraryBesideProgram());
        if (!ordering.Available()) {
            std::printf("ordering unavailable: %s\n", ordering.UnavailableReason().c_str());
        } else {
            const auto children =
                Names(depts.GetChildDepts(summary.parentWithChildren), "Department");
            const auto parent = warden::SplitList(summary.parentWithChildren, "\\");
            Report("FindDeptByPath x2 + SetDeptSortId (99 siblings)",
                   Time(std::max(10, iterations / 50), [&](int) {
                       auto deptPath = parent;
                       deptPath.push_back(pick(children));
                       auto nextPath = parent;
                       nextPath.push_back(pick(children));
                       auto dept = ordering.FindDeptByPath(deptPath);
                       auto next = ordering.FindDeptByPath(nextPath);
                       if (dept && next &&
                           ordering.SetDeptSortId(dept->deptId, dept->parentId, next->sortId,
                                                  dept->name, false)) {
                           ++sink;
                       }
                   }));
        }
    }

    // Throughput of the user-record reads from several threads at once.
    for (int threads : {1, 2, 4, 8}) {
        std::atomic<long> done{0};
        std::vector<std::thread> workers;
        const auto until = Clock::now() + std::chrono::seconds(1);
        for (int t = 0; t < threads; ++t) {
            workers.emplace_back([&, t] {
                std::mt19937 own(t);
                long count = 0;
                while (Clock::now() < until) {
                    const auto& account = accounts[std::uniform_int_distribution<size_t>(
                        0, accounts.size() - 1)(own)];
                    users.GetUserRecord(account);
                    ++count;
                }
                done += count;
            });
        }
        for (auto& worker : workers) worker.join();
        std::printf("user record reads, %d thread(s): %ld per second\n", threads, done.load());
    }

    if (keep.empty()) std::filesystem::remove_all(dir);
    return sink == 0 ? 1 : 0;
}
