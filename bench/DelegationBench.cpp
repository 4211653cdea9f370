// What the delegation check costs a request on a site with many
// administrators: the same requests through the dispatcher from the super
// administrator's session (nothing to check) and from a second-level
// administrator's, with 20,000 administrators in the admin store and the
// roles file, on the embedded directory; and the check alone.
//
// Figures are processor time of the calling thread per request.
//
//   delegation_bench [--admins N] [--iterations N]
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "protocol/ParamMap.h"
#include "server/dispatch/Delegation.h"
#include "server/dispatch/Dispatcher.h"
#include "server/dispatch/HandlerRegistry.h"
#include "server/im/ImService.h"
#include "server/store/AdminStore.h"
#include "server/store/Odbc.h"
#include "vexdir/VexDirectory.h"

using namespace warden;

namespace {

// This thread's processor time, which other programs on a busy machine do
// not inflate the way they inflate wall-clock time.
double CpuMicros() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e6 + now.tv_nsec / 1e3;
}

double MicrosPerCall(int n, const std::function<void()>& op) {
    const double start = CpuMicros();
    for (int i = 0; i < n; ++i) op();
    return (CpuMicros() - start) / n;
}

// The request's name and, for "UserAdd.asp", its mode: enough to tell the rows apart.
std::string NameOf(const std::string& request) {
    std::string name = request.substr(0, request.find('?'));
    return request.find("op=update") != std::string::npos ? name + " update" : name;
}

std::string AdminName(int i) {
    char name[16];
    std::snprintf(name, sizeof name, "adm%05d", i);
    return name;
}

}  // namespace

int main(int argc, char** argv) {
    int admins = 20000;
    int iterations = 20000;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string arg = argv[i];
        if (arg == "--admins") {
            admins = std::atoi(argv[i + 1]);
        } else if (arg == "--iterations") {
            iterations = std::atoi(argv[i + 1]);
        } else {
            std::fprintf(stderr, "usage: delegation_bench [--admins N] [--iterations N]\n");
            return 2;
        }
    }
    if (admins < 1 || iterations < 1) return 2;

    char pattern[] = "/tmp/warden-delegation-bench-XXXXXX";
    if (!::mkdtemp(pattern)) return 1;
    const std::filesystem::path base = pattern;
    const std::filesystem::path programDir =
        std::filesystem::canonical("/proc/self/exe").parent_path();

    // The admin store: many administrators, each with two departments and
    // roles; one of them (`me`) is the sender.
    AdminStore store(base);
    std::string problem;
    if (!store.EnsureDataFile(programDir, problem)) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }
    store.OpenDatabase(DefaultAdminStoreConnection());
    const std::string me = AdminName(admins / 2);
    {
        OdbcConnection db(FillConnectionString(DefaultAdminStoreConnection(), base.string(),
                                               store.DataFile().string()));
        db.Execute("BEGIN");
        std::ofstream roles(base / "RolesAdmin.ini");
        for (int i = 0; i < admins; ++i) {
            const std::string name = AdminName(i);
            const std::string depts =
                name == me ? "\\总部\\D1;\\总部\\D2;" : "\\总部\\X" + std::to_string(i) + ";";
            db.Execute("INSERT INTO vex_2nd_admins(admin_name, admin_depts) VALUES (?, ?)",
                       {name, depts});
            roles << "[" << name << "]\nROLES=经理|顾问|\n";
        }
        db.Execute("COMMIT");
    }

    // The directory: the sender's departments, a user in one of them.
    auto root = OpenVexDirectory(base / "vex");
    ImDeptManager& depts = root->GetDeptManager();
    depts.AddDept("总部", "");
    for (const char* d : {"D1", "D2", "D3"}) depts.AddDept(d, "\\总部");
    depts.AddDept("组", "\\总部\\D1");
    for (const std::string& user : {me, std::string("u1")}) root->GetUserManager().AddUser(user, 0);
    depts.AddUserToDept("u1", "", "\\总部\\D1\\组", 0);
    depts.AddUserToDept(me, "", "\\总部\\D3", 0);
    root->GetRoleManager().AddRole("经理", "");

    ImService im;
    im.SetRoot(root);
    Services services;
    services.adminStore = &store;
    services.im = &im;
    Dispatcher dispatcher(services, /*requireLogin=*/true);
    RegisterAllHandlers(dispatcher);
    Session super;
    super.login = LoginLevel::kSuper;
    super.account = "admin";
    Session second;
    second.login = LoginLevel::kDirectory;
    second.account = me;

    std::printf("%d administrators, %d iterations per figure\n", admins, iterations);
    std::string reply;
    const ReplySink sink = [&reply](const std::string& text) { reply = text; };
    {
        const std::string request = "Get2NdAdminRoles.asp?username=" + me;
        const double micros =
            MicrosPerCall(1, [&] { dispatcher.ProcessRequest(request, super, sink); });
        std::printf("%-40s first call (parses the roles file): %9.1f us -> %s\n",
                    "Get2NdAdminRoles.asp", micros, reply.c_str());
    }

    const std::vector<std::string> requests = {
        "GetUserBInfo.asp?username=u1",
        "GetChildDepts.asp?deptId=\\总部\\D1",
        "Get2NdAdminRoles.asp?username=" + me,
        "UserAdd.asp?op=update`username=u1`deptname=\\总部\\D1\\组\\|`newdeptname=总部\\D1\\组"
        "`roles=经理;",
    };
    std::printf("%-40s %12s %12s %10s\n", "request", "super us", "2nd-level us", "added us");
    for (const std::string& request : requests) {
        double superMicros = 0;
        double secondMicros = 0;
        // Interleaved rounds, so drift of the machine hits both alike.
        for (int round = 0; round < 4; ++round) {
            superMicros += MicrosPerCall(iterations / 4,
                                         [&] { dispatcher.ProcessRequest(request, super, sink); });
            secondMicros += MicrosPerCall(
                iterations / 4, [&] { dispatcher.ProcessRequest(request, second, sink); });
        }
        if (reply.rfind("error:", 0) == 0) {
            std::fprintf(stderr, "%s was answered %s\n", request.c_str(), reply.c_str());
            return 1;
        }
        std::printf("%-40s %12.1f %12.1f %10.1f\n", NameOf(request).c_str(), superMicros / 4,
                    secondMicros / 4, (secondMicros - superMicros) / 4);
    }

    // The check alone, as the dispatcher makes it before a handler runs: with
    // what it knows from earlier requests, and cold (the first request after
    // a change, which reads the admin store and the directory afresh).
    Delegation delegation(services);
    for (const std::string& request : requests) {
        ParsedRequest parsed = ParseRequest(request);
        const RequestEntry& entry = RequestTable()[*FindRequest(parsed.name)];
        const char* refusal = nullptr;
        const double warm = MicrosPerCall(
            iterations, [&] { refusal = delegation.Check(entry, parsed.params, second).refusal; });
        const double cold = MicrosPerCall(std::max(1, iterations / 100), [&] {
            Delegation fresh(services);
            refusal = refusal ? refusal : fresh.Check(entry, parsed.params, second).refusal;
        });
        std::printf("check alone: %-27s %8.1f us, cold %8.1f us%s\n", NameOf(request).c_str(), warm,
                    cold, refusal ? "  (refused!)" : "");
    }

    std::error_code ec;
    std::filesystem::remove_all(base, ec);
    return 0;
}
