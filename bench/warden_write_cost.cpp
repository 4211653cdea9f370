// What syncing every commit to the disk costs one write, measured on the disk
// that holds --dir: the directory's write (a user's basic data) and the admin
// store's (an administrator's save, which also rewrites the roles file), each
// at the sync level the server uses and at the levels below it, in
// alternating rounds of the same run so that the machine's mood hits all of
// them alike.
//
//   warden-write-cost [--dir DIR] [--writes 200] [--rounds 5]
//
// Prints, per variant, p50, mean and p99 of one write in milliseconds.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "server/store/AdminStore.h"
#include "server/store/Odbc.h"
#include "vexdir/VexRoot.h"

using namespace warden;

namespace {

struct Variant {
    std::string name;
    std::function<void(int)> write;  // the i-th write
    std::vector<double> millis;
};

std::string WithSync(const std::string& level) {
    std::string connection = DefaultAdminStoreConnection();
    const std::string setting = "SyncPragma=FULL";
    const size_t at = connection.find(setting);
    if (at == std::string::npos) return connection;
    connection.erase(at, setting.size());
    return connection + (level.empty() ? "" : "SyncPragma=" + level);
}

// The level the driver really uses with `pattern`, as SQLite reports it.
std::string EffectiveSync(const std::filesystem::path& base, const std::string& pattern) {
    try {
        OdbcConnection connection(
            FillConnectionString(pattern, base.string(), (base / "DB" / "db.dat").string()));
        OdbcStatement query(connection, "PRAGMA synchronous");
        query.Execute();
        if (!query.Fetch()) return "?";
        static const char* const kNames[] = {"OFF", "NORMAL", "FULL", "EXTRA"};
        const auto level = query.Integer(1).value_or(-1);
        return level >= 0 && level <= 3 ? kNames[level] : "?";
    } catch (const std::exception& e) {
        return e.what();
    }
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(p * values.size()))];
}

}  // namespace

int main(int argc, char** argv) {
    std::filesystem::path dir = ".";
    long writes = 200, rounds = 5;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) {
            std::fprintf(stderr, "usage: %s [--dir DIR] [--writes N] [--rounds R]\n", argv[0]);
            return 2;
        }
        const std::string value = argv[++i];
        if (arg == "--dir") {
            dir = value;
        } else if (arg == "--writes") {
            writes = std::clamp(std::atol(value.c_str()), 1L, 100000L);
        } else if (arg == "--rounds") {
            rounds = std::clamp(std::atol(value.c_str()), 1L, 100L);
        } else {
            std::fprintf(stderr, "unknown option %s\n", arg.c_str());
            return 2;
        }
    }
    std::string pattern = (std::filesystem::absolute(dir) / "warden-write-cost-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path work = pattern;
    const std::filesystem::path programDir =
        std::filesystem::read_symlink("/proc/self/exe").parent_path();

    std::vector<Variant> variants;
    std::vector<std::shared_ptr<void>> keep;  // what the variants write to
    int status = 0;
    try {
        for (auto durability : {vexdir::Durability::kPowerLoss, vexdir::Durability::kCrash}) {
            const bool full = durability == vexdir::Durability::kPowerLoss;
            auto root = std::make_shared<vexdir::VexRoot>(
                work / (full ? "vex-full" : "vex-normal") / "vexdb.db", durability);
            root->GetUserManager().AddUser("u", 0);
            keep.push_back(root);
            variants.push_back(
                {std::string("directory, user's basic data, ") + (full ? "FULL" : "NORMAL"),
                 [root](int i) {
                     root->GetUserManager().SetUserBasicInfo("u", "名" + std::to_string(i), 0,
                                                             "137", "u@corp.cn", "021", 0);
                 },
                 {}});
        }
        for (const std::string level : {"FULL", "NORMAL", ""}) {
            const std::filesystem::path base =
                work / ("store-" + (level.empty() ? "default" : level));
            auto store = std::make_shared<AdminStore>(base);
            std::string problem;
            if (!store->EnsureDataFile(programDir, problem)) throw std::runtime_error(problem);
            store->OpenDatabase(WithSync(level));
            keep.push_back(store);
            const std::string label =
                level.empty() ? "the driver's default (" + EffectiveSync(base, WithSync("")) + ")"
                              : level;
            variants.push_back({"admin store, administrator's save, " + label,
                                [store](int i) {
                                    if (!store->SaveAdmin("bob", "\\部门" + std::to_string(i) + ";",
                                                          "r" + std::to_string(i) + "|")) {
                                        throw std::runtime_error("a save failed");
                                    }
                                },
                                {}});
        }
        for (long r = 0; r < rounds; ++r) {
            for (Variant& variant : variants) {
                for (long i = 0; i < writes; ++i) {
                    const auto start = std::chrono::steady_clock::now();
                    variant.write(static_cast<int>(r * writes + i));
                    variant.millis.push_back(std::chrono::duration<double, std::milli>(
                                                 std::chrono::steady_clock::now() - start)
                                                 .count());
                }
            }
        }
        std::printf("%ld writes in each of %ld rounds per variant, in %s\n", writes, rounds,
                    work.parent_path().c_str());
        std::printf("%-62s %9s %9s %9s\n", "variant", "p50 ms", "mean ms", "p99 ms");
        for (const Variant& v : variants) {
            const double mean =
                std::accumulate(v.millis.begin(), v.millis.end(), 0.0) / v.millis.size();
            std::printf("%-62s %9.3f %9.3f %9.3f\n", v.name.c_str(), Percentile(v.millis, 0.5),
                        mean, Percentile(v.millis, 0.99));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "warden-write-cost: %s\n", e.what());
        status = 1;
    }
    variants.clear();
    keep.clear();
    std::error_code ec;
    std::filesystem::remove_all(work, ec);
    return status;
}
