// ldap_bench: the same requests on the LDAP back-end and on the embedded
// directory, in one run: generates the large organisation in an embedded
// directory, writes it as LDIF into a throw-away slapd, starts a server on
// each, and lets warden-load drive both in alternating slices. With
// --baseline the second server is another build's warden-server on the same
// slapd instead: a change of the LDAP back-end against what it was.
//
//   ldap_bench [--departments N] [--users N] [--seconds S] [--rounds R] [--conns 1,8]
//              [--keep-ldif FILE] [--baseline PATH]
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "bench/LdifExport.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/SlapdServer.h"
#include "tests/support/TempDir.h"
#include "vexdir/Generator.h"
#include "vexdir/VexDirectory.h"

namespace {

using namespace warden;

constexpr const char kUsage[] =
    "usage: ldap_bench [--departments N] [--users N] [--seconds S] [--rounds R] "
    "[--conns LIST] [--keep-ldif FILE] [--baseline WARDEN_SERVER]\n";

std::string LdapConfig(const ldapdir::LdapSettings& ldap) {
    return "[DIRECTORY]\nBACKEND=ldap\nURI=" + ldap.uri + "\nBIND_DN=" + ldap.bindDn +
           "\nBIND_PASSWORD=" + ldap.bindPassword + "\nBASE_DN=" + ldap.baseDn +
           "\nCONNECTIONS=8\n";
}

}  // namespace

int main(int argc, char** argv) {
    vexdir::LargeOptions options;
    std::string seconds = "6", rounds = "3", conns = "1,8", keep, baseline;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return std::fputs(kUsage, stderr), 2;
        const std::string value = argv[++i];
        if (arg == "--departments") {
            options.departments = std::stoi(value);
        } else if (arg == "--users") {
            options.users = std::stoi(value);
        } else if (arg == "--seconds") {
            seconds = value;
        } else if (arg == "--rounds") {
            rounds = value;
        } else if (arg == "--conns") {
            conns = value;
        } else if (arg == "--keep-ldif") {
            keep = value;
        } else if (arg == "--baseline") {
            baseline = value;
        } else {
            return std::fputs(kUsage, stderr), 2;
        }
    }
    test::TempDir work;
    const std::filesystem::path vex = work.Path() / "vex";
    std::fprintf(stderr, "generating %d departments, %d users...\n", options.departments,
                 options.users);
    const vexdir::LargeSummary large = vexdir::GenerateLarge(vex, options);
    const std::filesystem::path ldif =
        keep.empty() ? work.Path() / "org.ldif" : std::filesystem::path(keep);
    const std::string base = "ou=large,dc=test";
    {
        std::ofstream out(ldif);
        const ExportSummary written = ExportLdif(*OpenVexDirectory(vex), base, out);
        std::fprintf(stderr, "LDIF: %d departments, %d users, %d roles in %s\n",
                     written.departments, written.users, written.roles, ldif.c_str());
    }
    // slapd reads the file as its own account.
    ::chmod(work.Path().c_str(), 0755);
    ::chmod(ldif.c_str(), 0644);
    test::SlapdServer slapd(ldif);
    if (!slapd.Running()) {
        std::fprintf(stderr, "ldap_bench: cannot start slapd: %s\n", slapd.Problem().c_str());
        return 1;
    }
    ldapdir::LdapSettings ldap = slapd.CreateBase();
    ldap.baseDn = base;
    test::ServerProcess onLdap(LdapConfig(ldap));
    test::ServerProcess other(
        baseline.empty() ? "[VEX_SERVER]\nINSTALLDIR=" + vex.string() + "\n" : LdapConfig(ldap), {},
        0, baseline);
    if (!onLdap.Started() || !other.Started()) {
        std::fprintf(stderr, "ldap_bench: a server did not start:\n%s%s",
                     onLdap.ErrorOutput().c_str(), other.ErrorOutput().c_str());
        return 1;
    }
    const std::string otherName =
        baseline.empty() ? "the embedded directory" : "LDAP on " + baseline;
    const std::vector<std::pair<std::string, std::string>> requests = {
        {"GetUserBInfo.asp?username=" + large.sampleAccounts.at(1), conns},
        {"GetDeptUsers.asp?deptId=" + large.bigDepartment, conns},
        // The search box: texts that find everybody and many (the first 100
        // answer), one that finds a few, one that finds nobody.
        {"SearchUsers.asp?text=u0", conns},
        {"SearchUsers.asp?text=张伟", conns},
        {"SearchUsers.asp?text=u0999", conns},
        {"SearchUsers.asp?text=zzzq", conns},
    };
    const std::string load = (test::BinaryDir() / "warden-load").string();
    for (const auto& [request, connections] : requests) {
        std::printf("\n== %s: LDAP (first) against %s (second)\n", request.c_str(),
                    otherName.c_str());
        std::fflush(stdout);
        const std::string command =
            load + " --port " + std::to_string(onLdap.Port()) + " --server-pid " +
            std::to_string(onLdap.Pid()) + " --compare-port " + std::to_string(other.Port()) +
            " --compare-pid " + std::to_string(other.Pid()) + " --conns " + connections +
            " --seconds " + seconds + " --rounds " + rounds + " --request '" + request + "'";
        if (std::system(command.c_str()) != 0) return 1;
    }
    std::printf("\nslapd's processor time is not in the LDAP server's figures: pid %d\n",
                slapd.Pid());
    return 0;
}
