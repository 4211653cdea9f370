// Checks the Debian packages that scripts/package made (in
// WARDEN_DEB_DIR, by default the tree's build-deb/): what they hold, their
// conffiles and maintainer scripts, the service's security score and
// lintian's verdict. It builds nothing; without packages it fails and says
// how to make them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace warden {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string output;  // standard output and error
};

Outcome RunCommand(const std::string& command) {
    Outcome outcome;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return outcome;
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) outcome.output.append(buffer, n);
    const int status = ::pclose(pipe);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

std::string Quote(const fs::path& path) {
    return "'" + path.string() + "'";
}

std::string ReadFile(const fs::path& path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

fs::path PackageDir() {
    const char* dir = std::getenv("WARDEN_DEB_DIR");
    return dir && *dir ? fs::path(dir) : fs::path(WARDEN_SOURCE_DIR) / "build-deb";
}

// The two packages, unpacked once (files and DEBIAN/) for every test.
class PackageTest : public ::testing::Test {
  protected:
    struct Package {
        fs::path deb;
        fs::path root;  // unpacked
    };

    static void SetUpTestSuite() {
        s_unpacked = new test::TempDir;
        for (const char* name : {"warden-server", "warden-console"}) {
            Package& package = s_packages[name];
            std::vector<fs::path> found;
            std::error_code ec;
            for (const auto& entry : fs::directory_iterator(PackageDir(), ec)) {
                const std::string file = entry.path().filename().string();
                if (file.rfind(std::string(name) + "_", 0) == 0 && entry.path().extension() == ".deb")
                    found.push_back(entry.path());
            }
            if (found.size() != 1) {
                s_problem = "expected one " + std::string(name) + "_*.deb in " +
                            PackageDir().string() + ", found " + std::to_string(found.size()) +
                            ": run scripts/package first";
                return;
            }
            package.deb = found.front();
            package.root = s_unpacked->Path() / name;
            const Outcome unpacked =
                RunCommand("dpkg-deb -R " + Quote(package.deb) + " " + Quote(package.root));
            if (unpacked.status != 0) {
                s_problem = "dpkg-deb cannot unpack " + package.deb.string() + ": " +
                            unpacked.output;
                return;
            }
        }
    }
    static void TearDownTestSuite() {
        delete s_unpacked;
        s_unpacked = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(s_problem.empty()) << s_problem;
    }

    static const Package& Server() { return s_packages.at("warden-server"); }
    static const Package& Console() { return s_packages.at("warden-console"); }

    static std::string Field(const Package& package, const std::string& field) {
        return RunCommand("dpkg-deb -f " + Quote(package.deb) + " " + field).output;
    }

    static inline test::TempDir* s_unpacked = nullptr;
    static inline std::map<std::string, Package> s_packages;
    static inline std::string s_problem;
};

// Copies of tree files in the packages must be those of this tree, or every
// other check would judge an older build.
TEST_F(PackageTest, PackagesWereMadeFromThisTree) {
    const fs::path debian = fs::path(WARDEN_SOURCE_DIR) / "packaging" / "debian";
    for (const auto& [source, packaged] : std::vector<std::pair<fs::path, fs::path>>{
             {debian / "warden-server.service",
              Server().root / "lib/systemd/system/warden-server.service"},
             {debian / "server.cfg", Server().root / "etc/warden/server.cfg"},
             {debian / "warden-console.desktop",
              Console().root / "usr/share/applications/warden-console.desktop"}}) {
        EXPECT_EQ(ReadFile(packaged), ReadFile(source))
            << packaged << " differs from " << source << ": run scripts/package again";
    }
}

TEST_F(PackageTest, EveryFileIsWhereItIsLookedFor) {
    struct Expected {
        const Package& package;
        const char* path;
        fs::perms mode;  // for a link: none, checked by its target below
    };
    const fs::perms program = fs::perms(0755), data = fs::perms(0644);
    const Expected files[] = {
        // The server finds libSDKAPIC.so and DB/db.orig beside its own file.
        {Server(), "usr/lib/warden/warden-server", program},
        {Server(), "usr/lib/warden/libSDKAPIC.so", data},
        {Server(), "usr/lib/warden/DB/db.orig", data},
        {Server(), "usr/bin/vexdir-tool", program},
        {Server(), "etc/warden/server.cfg", data},
        {Server(), "lib/systemd/system/warden-server.service", data},
        {Server(), "usr/lib/sysusers.d/warden-server.conf", data},
        {Server(), "usr/lib/tmpfiles.d/warden-server.conf", data},
        {Server(), "usr/share/man/man8/warden-server.8.gz", data},
        {Server(), "usr/share/man/man1/vexdir-tool.1.gz", data},
        {Server(), "usr/share/doc/warden-server/README.md.gz", data},
        {Console(), "usr/bin/warden-console", program},
        {Console(), "usr/share/applications/warden-console.desktop", data},
        {Console(), "usr/share/icons/hicolor/scalable/apps/warden-console.svg", data},
        {Console(), "usr/share/man/man1/warden-console.1.gz", data},
    };
    for (const Expected& e : files) {
        const fs::path path = e.package.root / e.path;
        const fs::file_status status = fs::symlink_status(path);
        ASSERT_TRUE(fs::is_regular_file(status)) << e.path << " is missing or not a file";
        EXPECT_EQ(status.permissions() & fs::perms::mask, e.mode) << e.path;
    }
    EXPECT_EQ(fs::read_symlink(Server().root / "usr/sbin/warden-server"),
              "../lib/warden/warden-server");
    // The data folder belongs to the service and survives the package.
    EXPECT_FALSE(fs::exists(Server().root / "var")) << "the package ships files under /var";
}

TEST_F(PackageTest, OnlyTheServerSettingsAreConffilesAndTheyKeepPasswordsOffThePlainPort) {
    EXPECT_EQ(ReadFile(Server().root / "DEBIAN/conffiles"), "/etc/warden/server.cfg\n");
    EXPECT_FALSE(fs::exists(Console().root / "DEBIAN/conffiles"));
    const std::string settings = ReadFile(Server().root / "etc/warden/server.cfg");
    EXPECT_TRUE(std::regex_search(settings, std::regex(R"(\[LISTEN_PORT\][^\[]*\nPLAINTEXT=0\n)")))
        << settings;
}

// What is loaded at run time, not linked, must be named by hand.
TEST_F(PackageTest, DependsOnWhatIsLoadedAtRunTime) {
    const std::string server = Field(Server(), "Depends");
    EXPECT_NE(server.find("libsqliteodbc"), std::string::npos) << server;
    EXPECT_NE(server.find("libodbc2"), std::string::npos) << server;
    const std::string console = Field(Console(), "Depends");
    EXPECT_NE(console.find("qt6-translations-l10n"), std::string::npos) << console;
    EXPECT_NE(console.find("libqt6widgets6"), std::string::npos) << console;
}

// The account exists before the folder is made for it, and both before the
// service starts; the settings get their owner only once the group exists.
TEST_F(PackageTest, PostinstMakesAccountThenFolderThenStarts) {
    const std::string postinst = ReadFile(Server().root / "DEBIAN/postinst");
    const std::vector<std::string> order = {
        "systemd-sysusers", "systemd-tmpfiles", "deb-systemd-helper enable",
        "deb-systemd-invoke $_dh_action", "dpkg-statoverride --update --add root warden 0640",
        "| $SET_PASSWORD"};
    size_t at = 0;
    for (const std::string& step : order) {
        const size_t found = postinst.find(step, at);
        ASSERT_NE(found, std::string::npos) << "\"" << step << "\" missing or out of order in\n"
                                            << postinst;
        at = found;
    }
}

// Purge says what it removes before it removes the data; a mere removal
// keeps it.
TEST_F(PackageTest, OnlyPurgeRemovesTheDataAndSaysSoFirst) {
    const std::string postrm = ReadFile(Server().root / "DEBIAN/postrm");
    const std::regex purgeBlock(R"(if \[ "\$1" = purge \]; then([\s\S]*?)\nfi)");
    std::smatch block;
    ASSERT_TRUE(std::regex_search(postrm, block, purgeBlock)) << postrm;
    const std::string purge = block[1];
    const size_t said = purge.find("echo");
    const size_t removed = purge.find("rm -rf \"$BASE\"");
    ASSERT_NE(removed, std::string::npos) << purge;
    EXPECT_LT(said, removed) << purge;
    EXPECT_EQ(postrm.find("rm -rf", block.position(0) + block.length(0)), std::string::npos)
        << "data removed outside the purge";
}

TEST_F(PackageTest, ServiceExposureIsAtMostTwo) {
    const Outcome analysed =
        RunCommand("systemd-analyze security --offline=yes --root=" + Quote(Server().root) +
            " warden-server.service");
    std::smatch score;
    const std::regex overall(R"(Overall exposure level for warden-server\.service: ([0-9.]+))");
    ASSERT_TRUE(std::regex_search(analysed.output, score, overall)) << analysed.output;
    EXPECT_LE(std::stod(score[1]), 2.0) << analysed.output;

    // Hardening must not cost what the server relies on: its descriptors and
    // the time a stop may take to answer the requests in flight.
    const std::string unit = ReadFile(Server().root / "lib/systemd/system/warden-server.service");
    for (const char* kept : {"\nUser=warden\n", "\nLimitNOFILE=1100\n", "\nTimeoutStopSec=90\n",
                             "\nStateDirectory=warden\n", "\nStateDirectoryMode=0700\n",
                             "\nUMask=0077\n", "--base-dir /var/lib/warden"}) {
        EXPECT_NE(unit.find(kept), std::string::npos) << kept;
    }
}

// The console keeps client.cfg where it starts; from the menu that is a
// folder of the user's own, made at the first start, not his home folder.
TEST_F(PackageTest, DesktopEntryStartsTheConsoleInAFolderOfItsUsersOwn) {
    const std::string entry =
        ReadFile(Console().root / "usr/share/applications/warden-console.desktop");
    std::smatch exec, icon;
    ASSERT_TRUE(std::regex_search(entry, exec, std::regex(R"(\nExec=/(\S+)\n)")));
    ASSERT_TRUE(std::regex_search(entry, icon, std::regex(R"(\nIcon=(\S+))")));
    EXPECT_TRUE(fs::exists(Console().root / "usr/share/icons/hicolor/scalable/apps" /
                           (icon[1].str() + ".svg")))
        << icon[1];
    const fs::path launcher = Console().root / exec[1].str();
    ASSERT_TRUE(fs::is_regular_file(launcher)) << exec[1];

    test::TempDir dir;
    const fs::path home = dir.Path() / "home", bin = dir.Path() / "bin";
    fs::create_directories(bin);
    // A stand-in for the console on PATH says where it was started.
    std::ofstream(bin / "warden-console") << "#!/bin/sh\necho \"started in $(pwd)\"\n";
    fs::permissions(bin / "warden-console", fs::perms(0755));
    std::ofstream(dir.Path() / "file") << "";
    struct Case {
        std::string env;   // HOME and XDG_CONFIG_HOME
        fs::path started;  // the folder the console starts in
    };
    const Case cases[] = {
        {"HOME=" + Quote(home), home / ".config/warden-console"},
        {"HOME=" + Quote(home) + " XDG_CONFIG_HOME=relative", home / ".config/warden-console"},
        {"HOME=" + Quote(home) + " XDG_CONFIG_HOME=" + Quote(dir.Path() / "xdg"),
         dir.Path() / "xdg/warden-console"},
        // Unusable: the console starts all the same, where it was started.
        {"HOME=" + Quote(dir.Path() / "file"), dir.Path()},
    };
    for (const Case& c : cases) {
        const Outcome run = RunCommand("cd " + Quote(dir.Path()) + " && env -i PATH=" +
                                       Quote(bin) + ":/usr/bin:/bin " + c.env + " " +
                                       Quote(launcher));
        EXPECT_EQ(run.status, 0) << c.env << "\n" << run.output;
        EXPECT_NE(run.output.find("started in " + c.started.string() + "\n"), std::string::npos)
            << c.env << "\n" << run.output;
        if (c.started != dir.Path()) {
            EXPECT_EQ(fs::status(c.started).permissions() & fs::perms::mask, fs::perms(0700));
        }
    }
}

// Overrides, if any, live in the packages with their reasons; an error or a
// warning that lintian still reports fails.
TEST_F(PackageTest, LintianReportsNoErrorOrWarning) {
    const Outcome lintian = RunCommand("lintian --fail-on error,warning --tag-display-limit 0 " +
                                Quote(Server().deb) + " " + Quote(Console().deb));
    EXPECT_EQ(lintian.status, 0) << lintian.output;
}

}  // namespace
}  // namespace warden
