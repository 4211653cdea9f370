// warden-userlist-bench: what the user list's view costs while a
// department's records arrive, without a server: N rows listed, then each
// record applied and announced as the main window does, into a view of the
// list itself (as before the list could be sorted), and of the sorted list
// by account (the default) and by name. Modes alternate; medians of the
// runs; the processor time of this thread, so that other work on the
// machine counts as little as it can.
//
//   warden-userlist-bench [--rows N] [--runs R]
#include <QApplication>
#include <QHeaderView>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "console/core/UserList.h"
#include "console/core/UserListModel.h"
#include "console/core/UserSortModel.h"

using namespace warden::console;

namespace {

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

enum class Mode { kUnsorted, kByAccount, kByName };
constexpr const char* kModeNames[] = {"list unsorted (before)", "sorted by account",
                                      "sorted by name"};

// One department of `rows` users: listed, then every record filled.
double FillOnce(Mode mode, int rows) {
    UserList users;
    UserListModel model(users);
    UserSortModel sorted(users);
    sorted.setSourceModel(&model);
    QTreeView view;
    view.setUniformRowHeights(true);
    view.resize(900, 500);
    if (mode == Mode::kUnsorted) {
        view.setModel(&model);
    } else {
        view.setModel(&sorted);
        view.header()->setSortIndicator(mode == Mode::kByName ? kColName : kColAccount,
                                        Qt::AscendingOrder);
        view.setSortingEnabled(true);
    }
    view.show();

    std::vector<std::string> accounts;
    for (int i = 0; i < rows; ++i)
        accounts.push_back("u" + std::to_string(100000 + i * 7919 % rows));
    const double start = ThreadCpuMs();
    model.BeginReset();
    users.Assign(std::move(accounts));
    model.EndReset();
    for (int i = 0; i < rows; ++i) {
        UserRow& row = users.At(i);
        // Names in another order than the accounts, as in a real department.
        ApplyUserRecord("name:" + std::to_string((i * 7) % rows) +
                            "|gender:男|uin:1000|mobile:139|email:x@y.cn|phone:021|title:t|level:1",
                        row);
        model.RowChanged(i);
    }
    return ThreadCpuMs() - start;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int rows = 5000, runs = 5;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--rows" && i + 1 < argc) {
            rows = std::stoi(argv[++i]);
        } else if (arg == "--runs" && i + 1 < argc) {
            runs = std::stoi(argv[++i]);
        } else {
            std::fputs("usage: warden-userlist-bench [--rows N] [--runs R]\n", stderr);
            return 2;
        }
    }
    constexpr Mode kModes[] = {Mode::kUnsorted, Mode::kByAccount, Mode::kByName};
    std::vector<double> times[std::size(kModes)];
    for (int run = 0; run < runs; ++run) {
        for (Mode mode : kModes) times[static_cast<int>(mode)].push_back(FillOnce(mode, rows));
    }
    const double base = Median(times[0]);
    for (Mode mode : kModes) {
        const double median = Median(times[static_cast<int>(mode)]);
        std::printf("%-40s %8.1f ms processor  x%.2f\n", kModeNames[static_cast<int>(mode)], median,
                    median / base);
    }
    return 0;
}
