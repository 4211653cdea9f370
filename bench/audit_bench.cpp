// The audit trail at a million entries:
//
//   audit_bench DIR [--entries 1000000] [--port P]
//
// Makes the admin store in DIR (from the template beside the program) unless
// it is there, fills its trail up to --entries (500 accounts, 3,000
// departments, one entry every 20 s up to now, so that the retention of a
// server started on DIR keeps them), and times what the
// console and the scripts ask of it: the newest page, a page for one
// account, a page for a text in the target that nothing matches (a full
// scan), a page deep in the trail, and --audit-log from a day before the end.
// With --port, also "GetAuditLog.asp" for the newest page through a server
// running on DIR, which is what opening 操作日志 costs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>


#include "bench/LoadGenerator.h"
#include "bench/WireClient.h"
#include "protocol/AuditRecord.h"
#include "protocol/GbkCodec.h"
#include "server/store/AdminStore.h"
#include "server/store/AuditTime.h"
#include "server/store/AuditTrail.h"
#include "server/store/Odbc.h"

using namespace warden;
using Clock = std::chrono::steady_clock;

namespace {

double Time(const std::function<void()>& work, int rounds = 5) {
    double best = 1e9;
    for (int i = 0; i < rounds; ++i) {
        const auto t0 = Clock::now();
        work();
        best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    return best;
}

void Fill(OdbcConnection& connection, int64_t from, int64_t to) {
    const auto start = std::chrono::system_clock::now() - std::chrono::seconds(20 * to);
    const int64_t batch = 50000;
    for (int64_t first = from; first <= to; first += batch) {
        OdbcTransaction transaction(connection);
        OdbcStatement insert(connection,
                             "INSERT INTO warden_audit(audit_id, audit_time, account_name, "
                             "admin_level, peer_address, peer_port, request_name, target, outcome, "
                             "detail) VALUES (?,?,?,?,?,?,?,?,?,?)");
        for (int64_t id = first; id <= std::min(to, first + batch - 1); ++id) {
            insert.Execute({id, FormatAuditTime(start + std::chrono::seconds(20 * id)),
                            "user" + std::to_string(id % 500), std::string("second"),
                            "10.0." + std::to_string(id % 250) + "." + std::to_string(id % 199),
                            int64_t{40000 + id % 20000}, std::string("UserAdd.asp"),
                            "\\部门" + std::to_string(id % 3000) + "\\组" + std::to_string(id % 7),
                            std::string("info:修改用户信息成功"),
                            "deptname=\\部门" + std::to_string(id % 3000) + "|; name=用户"});
        }
        transaction.Commit();
        std::fprintf(stderr, "\rfilled %lld",
                     static_cast<long long>(std::min(to, first + batch - 1)));
    }
    std::fprintf(stderr, "\n");
}

// The newest page through a server running on the store, logged in as
// admin: the time to the reply's last byte (the reader's quiet wait that ends
// a reply this long is the framing's, not the trail's).
void AskServer(int port) {
    bench::LoadSpec spec;
    spec.port = port;
    spec.request = bench::ToGbk("GetAuditLog.asp?count=200");
    spec.setup = {bench::ToGbk("LoginCheck.asp?username=admin`password=admin`ver=1.5")};
    spec.duration = std::chrono::seconds(2);
    std::string login;
    std::string reply;
    if (!bench::ExchangeOnce(spec, login, reply) || login != "success|1") {
        std::fprintf(stderr, "cannot log in as admin/admin on port %d\n", port);
        return;
    }
    const bench::LoadResult result = bench::RunLoad(spec);
    std::printf("GetAuditLog.asp, newest 200 (%zu entries), to the last byte p50 %.2f ms\n",
                ParseAuditLog(GbkToUtf8(reply).value_or("")).size(), result.lastByteP50Ms);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: audit_bench DIR [--entries N] [--port P]\n");
        return 2;
    }
    const std::filesystem::path dir = std::filesystem::absolute(argv[1]);
    int64_t entries = 1'000'000;
    int port = 0;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--entries") entries = std::atoll(argv[i + 1]);
        if (arg == "--port") port = std::atoi(argv[i + 1]);
    }

    AdminStore store(dir);
    std::string problem;
    const std::filesystem::path programDir =
        std::filesystem::read_symlink("/proc/self/exe").parent_path();
    if (!store.EnsureDataFile(programDir, problem)) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }
    store.OpenDatabase(DefaultAdminStoreConnection());
    const std::string connection = FillConnectionString(DefaultAdminStoreConnection(), dir.string(),
                                                        store.DataFile().string());
    OdbcConnection raw(connection);
    int64_t have = 0;
    {
        OdbcStatement count(raw, "SELECT MAX(audit_id) FROM warden_audit");
        count.Execute();
        if (count.Fetch()) have = count.Integer(1).value_or(0);
    }
    if (have < entries) Fill(raw, have + 1, entries);

    AuditTrail trail;
    trail.Open(connection);
    std::vector<AuditRecord> page;
    AuditFilter newest;
    newest.limit = 200;
    std::printf("entries: %lld\n", static_cast<long long>(entries));
    std::printf("newest page (200)            %8.2f ms\n",
                Time([&] { page = trail.Query(newest); }));
    std::printf("  formatted for the wire     %8.2f ms\n",
                Time([&] { (void)FormatAuditLog(page); }));
    AuditFilter account = newest;
    account.account = "user7";
    std::printf("one account's newest page    %8.2f ms\n", Time([&] { trail.Query(account); }));
    AuditFilter deep = newest;
    deep.beforeId = entries / 2;
    {
        OdbcStatement at(raw, "SELECT audit_time FROM warden_audit WHERE audit_id=?");
        at.Execute({deep.beforeId});
        if (at.Fetch()) deep.beforeTime = at.Text(1).value_or("");
    }
    std::printf("a page halfway down          %8.2f ms\n", Time([&] { trail.Query(deep); }));
    AuditFilter nothing = newest;
    nothing.targetText = "组9";
    std::printf("target text nothing matches  %8.2f ms (a full scan)\n",
                Time([&] { trail.Query(nothing); }, 1));
    // The last day: 4,320 entries of one every 20 s.
    std::string dayBefore;
    {
        OdbcStatement at(raw, "SELECT audit_time FROM warden_audit WHERE audit_id=?");
        at.Execute({entries - 4319});
        if (at.Fetch()) dayBefore = at.Text(1).value_or("");
    }

    size_t lines = 0;
    std::printf(
        "--audit-log for the last day %8.2f ms",
        Time([&] { trail.ForEachSince(dayBefore, [&](const AuditRecord&) { ++lines; }); }, 1));
    std::printf(" (%zu entries)\n", lines);
    if (port != 0) AskServer(port);
    return 0;
}
