// vexdir-tool: fills an embedded directory with a demo or a large generated
// organisation, and tells what a directory holds.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "directory/ImError.h"
#include "directory/ImInstallDir.h"
#include "vexdir/Generator.h"
#include "vexdir/VexDirectory.h"

namespace {

constexpr const char kUsage[] =
    "usage: vexdir-tool demo INSTALLDIR\n"
    "       vexdir-tool large INSTALLDIR [--departments N] [--users N] [--big N]\n"
    "                                    [--per-department N] [--password PW]\n"
    "  The directory database is INSTALLDIR/db/vexdb.db; it is created when\n"
    "  missing and must not hold departments or users yet.\n"
    "  demo   a small organisation with Chinese names; every user's password is 123456\n"
    "  large  10000 departments and 100000 users (one department of 5000 users,\n"
    "         others of 50) for benchmarks\n";

bool ParseInt(std::string_view text, int& out) {
    char* end = nullptr;
    std::string copy(text);
    long value = std::strtol(copy.c_str(), &end, 10);
    if (copy.empty() || *end != '\0' || value < 0 || value > 100000000) return false;
    out = static_cast<int>(value);
    return true;
}

int RunDemo(const std::string& installDir) {
    auto root = warden::OpenVexDirectory(installDir);
    auto summary = warden::vexdir::GenerateDemo(*root);
    std::printf("demo organisation written to %s\n",
                warden::ImDatabasePath(installDir).string().c_str());
    std::printf("  %d departments, %d roles, %d users (password %s):\n", summary.departments,
                summary.roles, summary.users, warden::vexdir::kDemoPassword);
    std::string line = "   ";
    for (const auto& account : summary.accounts) {
        if (line.size() > 70) {
            std::printf("%s\n", line.c_str());
            line = "   ";
        }
        line += " " + account;
    }
    std::printf("%s\n", line.c_str());
    return 0;
}

int RunLarge(const std::string& installDir, int argc, char** argv) {
    warden::vexdir::LargeOptions options;
    for (int i = 3; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (i + 1 >= argc) return std::fputs(kUsage, stderr), 2;
        std::string_view value = argv[++i];
        bool ok = true;
        if (arg == "--departments")
            ok = ParseInt(value, options.departments);
        else if (arg == "--users")
            ok = ParseInt(value, options.users);
        else if (arg == "--big")
            ok = ParseInt(value, options.bigDepartmentUsers);
        else if (arg == "--per-department")
            ok = ParseInt(value, options.usersPerDepartment);
        else if (arg == "--password")
            options.password = value;
        else
            ok = false;
        if (!ok) return std::fputs(kUsage, stderr), 2;
    }
    auto summary = warden::vexdir::GenerateLarge(installDir, options);
    std::printf("large organisation written to %s\n",
                warden::ImDatabasePath(installDir).string().c_str());
    std::printf("  %d departments, %d users\n", summary.departments, summary.users);
    std::printf("  department with %d users: %s\n", options.bigDepartmentUsers,
                summary.bigDepartment.c_str());
    std::printf("  a department with %d users: %s\n", options.usersPerDepartment,
                summary.smallDepartment.c_str());
    std::printf("  a department with many sub-departments: %s\n",
                summary.parentWithChildren.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string_view command = argv[1];
    const std::string installDir = argv[2];
    try {
        if (command == "demo" && argc == 3) return RunDemo(installDir);
        if (command == "large") return RunLarge(installDir, argc, argv);
    } catch (const warden::ImError& e) {
        std::fprintf(stderr, "vexdir-tool: %s\n", e.what());
        return 1;
    }
    std::fputs(kUsage, stderr);
    return 2;
}
