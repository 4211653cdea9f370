#include "server/shell/ServerStartup.h"

#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>

#include "directory/ImInstallDir.h"
#include "ldapdir/LdapDirectory.h"
#include "protocol/SplitList.h"
#include "server/dispatch/AuditRecorder.h"
#include "server/dispatch/HandlerRegistry.h"
#include "server/dispatch/LoginFlow.h"
#include "server/dispatch/LoginThrottle.h"
#include "server/dispatch/SessionRegistry.h"
#include "server/im/DeptOrdering.h"
#include "server/im/DirectoryPlacement.h"
#include "server/im/SdkApiLibrary.h"
#include "server/net/TlsContext.h"
#include "server/net/WorkerPool.h"
#include "server/shell/AdminStoreSetup.h"
#include "server/shell/AuditSetup.h"
#include "server/shell/DataFiles.h"
#include "server/shell/ServerCertificate.h"
#include "server/shell/StderrView.h"
#include "server/shell/UnlockCommand.h"
#include "server/store/AdminStore.h"
#include "server/store/AuditTrail.h"
#include "vexdir/VexDirectory.h"

namespace warden {

namespace {

constexpr const char kPrompt[] = "提示";

// Four decimal numbers of 0 to 255 joined by dots, as an address control
// gives them: "10.1" or "10.1.1.1.1" is no address.
bool IsDottedAddress(std::string_view text) {
    const std::vector<std::string> parts = SplitList(text, ".");
    if (parts.size() != 4 || std::count(text.begin(), text.end(), '.') != 3) return false;
    for (const std::string& part : parts) {
        if (part.size() > 3 || part.find_first_not_of("0123456789") != std::string::npos) {
            return false;
        }
        if (std::stoi(part) > 255) return false;
    }
    return true;
}

}  // namespace

ServerStartup::ServerStartup(std::filesystem::path baseDir, StartupView& view,
                             DirectoryFactory factory)
    : m_baseDir(std::move(baseDir)),
      m_view(view),
      m_factory(std::move(factory)),
      m_ordering(std::make_unique<DeptOrdering>()) {}

ServerStartup::~ServerStartup() {
    Stop();
}

bool ServerStartup::Initialise() {
    m_config = LoadServerConfig(m_baseDir / "server.cfg");
    // Like a private key that others can read, a readable password is
    // refused, not just mentioned: it may already be known.
    if (std::optional<std::string> problem = ReadableSecret(m_baseDir / "server.cfg", m_config)) {
        m_view.ShowMessage(*problem, kServerTitle, MessageIcon::kError);
        return false;
    }
    WarnAboutUnverifiedStore(m_config, m_view);
    if (!ChooseDirectory()) return false;
    m_adminStore = std::make_unique<AdminStore>(
        m_baseDir, m_config.rolesInStore ? RolesPlace::kStore : RolesPlace::kFile);
    PrepareDataFiles(*m_adminStore, ImHome());
    if (!OpenAdminStore(*m_adminStore, m_config, ProgramDir(), m_view)) return false;
    WarnAboutInitialPassword(*m_adminStore, m_view);
    if (!m_config.requireLogin) {
        m_view.ShowMessage(
            "[SECURITY] REQUIRE_LOGIN=0: requests are carried out without a login and delegation "
            "is not enforced; any connection may change anything",
            kServerTitle, MessageIcon::kWarning);
    }
    m_auditTrail = std::make_unique<AuditTrail>();
    if (!OpenAuditTrail(*m_auditTrail, *m_adminStore, m_config, m_view)) return false;
    m_auditRecorder = std::make_unique<AuditRecorder>(
        *m_auditTrail,
        [this](const std::string& line) { m_view.ShowRequestError("操作日志写入失败", line); });
    if (m_config.auditKeepDays > 0) {
        m_auditRetention = std::make_unique<AuditRetention>(
            *m_auditTrail, m_config.auditKeepDays, [this](const std::string& line, bool failed) {
                if (failed) {
                    m_view.ShowRequestError("操作日志清理失败", line);
                } else {
                    SayOnStderr(line);
                }
            });
    }

    // Password checks run on their own few threads, so that a flood of
    // logins never holds the request workers.
    ThrottleOptions throttle;
    throttle.failuresBeforeLock = m_config.loginFailures;
    throttle.longestLock = std::chrono::seconds(m_config.lockoutSeconds);
    throttle.trustedFor = std::chrono::hours(24) * m_config.trustedDays;
    m_throttle = std::make_unique<LoginThrottle>(throttle);
    std::string problem;
    const bool controlled = m_control.Open(
        ControlSocketPath(m_baseDir),
        [this](const std::string& command, const ControlPeer& peer) {
            return RunControlCommand(command, peer, *m_throttle, m_auditRecorder.get());
        },
        problem);
    if (!controlled) {
        m_view.ShowMessage("local control channel not opened (" + problem +
                               "); warden-server --unlock cannot reach this server",
                           kServerTitle, MessageIcon::kWarning);
    }
    // A password hash takes a tenth of a second and tens of megabytes by
    // design: at most hashThreads at once (bounding the memory), below the
    // request workers' priority, and refused at once beyond hashQueue waiting.
    m_hashingPool = std::make_unique<WorkerPool>(
        m_config.hashThreads, WorkerPool::Limits{.maxQueued = m_config.hashQueue, .nice = 10});
    m_loginFlow = std::make_unique<LoginFlow>(*m_throttle, *m_hashingPool, m_auditRecorder.get());

    m_sessions = std::make_unique<SessionRegistry>(m_config.maxSessionsPerAccount);
    m_services.adminStore = m_adminStore.get();
    m_services.login = m_loginFlow.get();
    m_services.throttle = m_throttle.get();
    m_services.sessions = m_sessions.get();
    m_services.auditTrail = m_auditTrail.get();
    m_services.audit = m_auditRecorder.get();
    m_services.im = &m_im;
    if (m_config.directoryBackend == DirectoryBackend::kLdap) {
        // The directory keeps the order of departments itself.
        m_placement = std::make_unique<DirectoryPlacement>(m_im);
        m_services.ordering = m_placement.get();
    } else {
        m_services.ordering = m_ordering.get();
    }
    // A database error while looking a department up is the operator's to
    // see; the request itself only hears that the ordering failed.
    m_ordering->SetLookupErrorReporter([this](const std::string& detail) {
        m_view.ShowRequestError("error", "department ordering lookup failed: " + detail);
    });
    m_dispatcher = std::make_unique<Dispatcher>(m_services, m_config.requireLogin);
    RegisterAllHandlers(*m_dispatcher);

    EngineOptions options;
    if (!m_config.listenAddress.empty()) {
        asio::error_code ec;
        options.address = asio::ip::make_address(m_config.listenAddress, ec);
        if (ec) {
            m_view.ShowMessage("[LISTEN_PORT] ADDRESS=" + m_config.listenAddress +
                                   " is no IPv4 or IPv6 address of this machine",
                               kServerTitle, MessageIcon::kError);
            return false;
        }
    }
    options.handshakeMs = m_config.handshakeMs;
    options.workers = m_config.workers;
    options.maxRequest = m_config.maxRequest;
    options.maxConnections = m_config.maxConnections;
    options.maxAnonymous = m_config.maxAnonymous;
    options.anonymousIdleMs = m_config.anonymousIdleMs;
    options.backlog = m_config.backlog;
    options.arrivalMs = m_config.arrivalMs;
    options.graceMs = m_config.graceMs;
    options.writeStallMs = m_config.writeStallMs;
    options.sessionIdle = m_config.sessionIdle;
    options.sessionLifetime = m_config.sessionLifetime;
    if (!m_config.requireLogin) {
        // Without logins every connection is as good as a logged-in one.
        options.maxAnonymous = options.maxConnections;
        options.anonymousIdleMs = 0;
    }
    options.log = SayOnStderr;
    FitDescriptorLimit(options.maxConnections);
    m_engine = std::make_unique<ServerEngine>(
        options,
        [this](std::string_view request, Session& session, const ReplySink& reply) {
            m_dispatcher->ProcessRequest(request, session, reply);
        },
        [this](std::string_view request, Session& session) {
            return m_dispatcher->AnswerAtOnce(request, session);
        });
    return true;
}

bool ServerStartup::ChooseDirectory() {
    switch (m_config.directoryBackend) {
        case DirectoryBackend::kUnknown:
            m_view.ShowMessage("[DIRECTORY] BACKEND=" + m_config.directoryBackendName +
                                   ": the directory back-end must be vex or ldap",
                               kServerTitle, MessageIcon::kError);
            return false;
        case DirectoryBackend::kLdap: {
            const std::string problem = ldapdir::CheckLdapSettings(m_config.ldap);
            if (!problem.empty()) {
                m_view.ShowMessage(problem, kServerTitle, MessageIcon::kError);
                return false;
            }
            if (!m_factory) {
                m_factory = [settings = m_config.ldap](const std::filesystem::path&) {
                    return OpenLdapDirectory(settings);
                };
            }
            return true;
        }
        case DirectoryBackend::kVex:
            if (!m_factory) m_factory = OpenVexDirectory;
            return true;
    }
    return false;
}

void ServerStartup::FitDescriptorLimit(size_t connections) {
    // Besides its connections the server holds its stores, their journals,
    // the listener and the event loop's own descriptors.
    constexpr rlim_t kReserve = 64;
    const rlim_t needed = static_cast<rlim_t>(connections) + kReserve;
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= needed) return;
    rlimit raised = limit;
    raised.rlim_cur = std::min(needed, limit.rlim_max);
    if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
    if (limit.rlim_cur >= needed) return;
    m_view.ShowMessage("the descriptor limit (" + std::to_string(limit.rlim_cur) +
                           ") is below what " + std::to_string(connections) +
                           " connections need (" + std::to_string(needed) +
                           "); when it is reached, new connections wait until others end",
                       kServerTitle, MessageIcon::kWarning);
}

StartSettings ServerStartup::Settings() const {
    return {m_config.imAddress, m_config.imPort, m_config.listenPort};
}

std::filesystem::path ServerStartup::ReadImInstallDir() const {
    if (m_config.imInstallDir) {
        // Relative to the base directory, not to wherever the process was
        // started (under the service manager, the root).
        const std::filesystem::path configured(*m_config.imInstallDir);
        return configured.empty() ? configured : m_baseDir / configured;
    }
    return ResolveImInstallDir("", m_baseDir);
}

std::filesystem::path ServerStartup::ImHome() const {
    // With no install directory known, the embedded directory keeps its
    // default home below the base directory.
    const std::filesystem::path dir = ReadImInstallDir();
    return dir.empty() ? ResolveImInstallDir("", m_baseDir) : dir;
}

bool ServerStartup::OrderingAvailable() const {
    return m_services.ordering && m_services.ordering->Available();
}

void ServerStartup::OpenOrdering(const std::string& imAddress) {
    // LDAP keeps the order itself: there is no database to open.
    if (m_config.directoryBackend != DirectoryBackend::kVex) return;
    const std::filesystem::path dir = ReadImInstallDir();
    if (dir.empty()) {
        m_ordering->Open({}, imAddress, SdkApiLibraryBesideProgram());
        m_view.ShowMessage("无法找到VEX服务器程序，部门排序功能不可用", kPrompt,
                           MessageIcon::kWarning);
        return;
    }
    // The embedded directory creates its database on first use, which comes
    // later in Start; make sure it exists before the ordering reads it.
    std::error_code ec;
    if (!std::filesystem::exists(ImDatabasePath(dir), ec)) {
        try {
            m_factory(dir);
        } catch (...) {
            // Reported just below, as a directory the ordering cannot read.
        }
    }
    if (!m_ordering->Open(dir, imAddress, SdkApiLibraryBesideProgram())) {
        m_view.ShowMessage("访问VEX服务器失败，部门排序功能不可用", "错误", MessageIcon::kError);
    }
}

StartResult ServerStartup::Start(const StartSettings& typed) {
    const std::string address(Trim(typed.imAddress));
    const std::string imPort(Trim(typed.imPort));
    const std::string listenPort(Trim(typed.listenPort));
    if (!IsDottedAddress(address) || address == "0.0.0.0") {
        m_view.ShowMessage("请设置VEX服务器IP", kPrompt, MessageIcon::kInformation);
        m_view.FocusField(SettingField::kImAddress);
        return StartResult::kRefused;
    }
    if (imPort.empty()) {
        m_view.ShowMessage("请设置VEX服务器端口", kPrompt, MessageIcon::kInformation);
        m_view.FocusField(SettingField::kImPort);
        return StartResult::kRefused;
    }
    if (listenPort.empty()) {
        m_view.ShowMessage("请设置监听端口号", kPrompt, MessageIcon::kInformation);
        m_view.FocusField(SettingField::kListenPort);
        return StartResult::kRefused;
    }

    // Saved before anything is tried, so a failed Start keeps them.
    SaveConnectionSettings(m_baseDir / "server.cfg", address, imPort, listenPort);
    m_config.imAddress = address;
    m_config.imPort = imPort;
    m_config.listenPort = listenPort;

    OpenOrdering(address);

    if (const StartResult opened = OpenListeners(listenPort); opened != StartResult::kRunning) {
        return opened;
    }
    if (!m_engineStarted) {
        m_engine->Start();
        m_engineStarted = true;
    }

    // Each attempt makes a new root.
    m_root.reset();
    m_im.SetRoot(nullptr);
    const std::filesystem::path home = ImHome();
    const RootFactory makeRoot = [this, home] { return m_factory(home); };
    if (!ConnectAndRegister(m_root, makeRoot, address, std::atoi(imPort.c_str()), m_view)) {
        m_root.reset();
        m_view.ShowMessage("连接VEX服务器失败", kServerTitle, MessageIcon::kError);
        m_engine->CloseListener();
        return StartResult::kFailed;
    }
    if (!m_root) return StartResult::kNoDirectory;
    m_im.SetRoot(m_root);
    return StartResult::kRunning;
}

void ServerStartup::Stop() {
    // Logins still queued answer first: the engine may be stopped only when
    // nothing else holds a reply sink. A login arriving meanwhile hears
    // that the server is busy.
    if (m_hashingPool) m_hashingPool->Shutdown();
    if (m_engine) m_engine->Stop();
    m_control.Close();
    m_services.login = nullptr;
    m_services.throttle = nullptr;
    m_loginFlow.reset();
    m_hashingPool.reset();
    m_throttle.reset();
    m_im.SetRoot(nullptr);
    m_root.reset();
    m_auditRetention.reset();
    m_services.audit = nullptr;
    m_services.auditTrail = nullptr;
    m_auditRecorder.reset();
    m_auditTrail.reset();
    m_adminStore.reset();
}

std::optional<uint16_t> ServerStartup::ListeningPort(Transport transport) const {
    return m_engine ? m_engine->ListeningPort(transport) : std::nullopt;
}

std::optional<std::string> ServerStartup::ListeningEndpoint(Transport transport) const {
    return m_engine ? m_engine->ListeningEndpoint(transport) : std::nullopt;
}

StartResult ServerStartup::OpenListeners(const std::string& listenPort) {
    std::string problem;
    std::shared_ptr<const TlsContext> tls = PrepareTls(problem);
    if (!tls) {
        m_view.ShowMessage(problem, kServerTitle, MessageIcon::kError);
        return StartResult::kNoTls;
    }
    if (m_config.plaintext && !m_engine->CreateListener(listenPort)) {
        return StartResult::kNotListening;
    }
    if (!m_engine->CreateListener(m_config.tlsPort, tls)) {
        m_engine->CloseListener();
        m_view.ShowMessage("cannot listen for TLS on port " + m_config.tlsPort, kServerTitle,
                           MessageIcon::kError);
        return StartResult::kNoTls;
    }
    if (m_config.plaintext) WarnAboutPlainPort();
    return StartResult::kRunning;
}

std::shared_ptr<const TlsContext> ServerStartup::PrepareTls(std::string& problem) {
    const std::filesystem::path certificate = m_baseDir / m_config.tlsCertificate;
    const std::filesystem::path key = m_baseDir / m_config.tlsPrivateKey;
    std::error_code ec;
    const bool hasCertificate = std::filesystem::exists(certificate, ec);
    const bool hasKey = std::filesystem::exists(key, ec);
    if (!hasCertificate && !hasKey) {
        if (!CreateSelfSignedCertificate(certificate, key, LocalHostNames(),
                                         LocalAddresses(m_config.listenAddress), problem)) {
            return nullptr;
        }
        SayOnStderr("made a self-signed TLS certificate " + certificate.string() +
                    " with its key " + key.string());
    } else if (!hasCertificate || !hasKey) {
        // Making a new pair would replace a site's own half: that is the
        // administrator's decision.
        problem = "[TLS] " + (hasKey ? certificate : key).string() + " is missing beside " +
                  (hasKey ? key : certificate).string() +
                  "; put it back, or remove both to have a self-signed certificate made";
        return nullptr;
    }
    std::shared_ptr<const TlsContext> context = TlsContext::Load(certificate, key, problem);
    if (!context) return nullptr;
    const std::optional<std::string> fingerprint = CertificateFingerprint(certificate, problem);
    if (!fingerprint) return nullptr;
    m_view.ShowFingerprint(*fingerprint);
    return context;
}

void ServerStartup::WarnAboutPlainPort() {
    asio::error_code ec;
    const asio::ip::address address = asio::ip::make_address(m_config.listenAddress, ec);
    if (!ec && address.is_loopback()) return;
    const std::string where = ListeningEndpoint(Transport::kPlain).value_or("");
    m_view.ShowMessage(
        "明文端口正在 " + where +
            " 上监听：网络上的任何人都能读取和伪造控制台在此端口上发送的内容（包括密码）。"
            "所有控制台都改用加密连接后，请在 server.cfg 中设置 [LISTEN_PORT] PLAINTEXT=0。",
        kServerTitle, MessageIcon::kWarning);
    // The same in English for logs read by people who do not read Chinese.
    SayOnStderr("warning: the plain-text port listens on " + where +
                ", beyond this machine: anyone on the network can read and forge what consoles "
                "send there, passwords too; set [LISTEN_PORT] PLAINTEXT=0 once every console "
                "uses the TLS port");
}

}  // namespace warden
