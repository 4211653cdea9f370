// Everything the server runs on, from process start to exit, without widgets:
// the settings, the admin store, department ordering, the IM root and the
// request engine. The window and the headless daemon are thin views over it.
//
// Thread-safety: Initialise, Start and Stop are called from one thread (the
// window's or the daemon's main thread); requests run on the engine's workers.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "server/dispatch/Dispatcher.h"
#include "server/dispatch/Services.h"
#include "server/im/ImService.h"
#include "server/net/ControlChannel.h"
#include "server/net/ServerEngine.h"
#include "server/shell/ImRegistration.h"
#include "server/shell/ServerConfig.h"
#include "server/shell/StartupView.h"

namespace warden {

class AdminStore;
class AuditRecorder;
class AuditRetention;
class AuditTrail;
class WorkerPool;
class LoginFlow;
class LoginThrottle;
class SessionRegistry;
class DeptOrdering;
class DirectoryPlacement;
class TlsContext;

enum class StartResult {
    kRefused,       // a setting is missing (the view has said which)
    kNotListening,  // the listening port cannot be listened on
    kNoTls,         // the TLS port cannot serve (the view has said why)
    kFailed,        // the directory refused the registration; the listener is closed again
    kNoDirectory,   // listening, but the directory's root could not be created
    kRunning,       // listening and registered: "启动成功"
};

class ServerStartup {
  public:
    // `factory` makes the directory root for an install directory; by default
    // the back-end server.cfg names ([DIRECTORY] BACKEND).
    using DirectoryFactory =
        std::function<std::shared_ptr<ImRoot>(const std::filesystem::path& installDir)>;

    ServerStartup(std::filesystem::path baseDir, StartupView& view, DirectoryFactory factory = {});
    ~ServerStartup();
    ServerStartup(const ServerStartup&) = delete;
    ServerStartup& operator=(const ServerStartup&) = delete;

    // Reads server.cfg and prepares the admin store. False, after a message,
    // when the server cannot run at all.
    bool Initialise();

    // The three settings as read at initialisation (defaults where missing).
    StartSettings Settings() const;

    // The Start command with the fields as typed.
    StartResult Start(const StartSettings& typed);

    // Stops accepting, lets requests in flight answer, closes the stores.
    void Stop();

    std::optional<uint16_t> ListeningPort(Transport transport = Transport::kPlain) const;
    // Where a listener listens, as "0.0.0.0:8800" or "[::]:8801".
    std::optional<std::string> ListeningEndpoint(Transport transport) const;
    const ServerConfig& Config() const { return m_config; }
    bool OrderingAvailable() const;

    // Where the IM directory is installed: [VEX_SERVER] INSTALLDIR when the
    // key is present (empty: none known; a relative path is taken from the
    // base directory), else VEX_INSTALLDIR, else <base>/vex.
    std::filesystem::path ReadImInstallDir() const;

  private:
    // Checks the directory settings and picks the back-end's factory unless
    // one was given. False, after a message, when the server cannot start.
    bool ChooseDirectory();
    void OpenOrdering(const std::string& imAddress);
    // Opens the plain listener (unless turned off) and the TLS listener.
    StartResult OpenListeners(const std::string& listenPort);
    // The TLS port's certificate and key, made first when both are missing;
    // shows the fingerprint. Nullptr, with the reason in `problem`, when
    // they cannot be used.
    std::shared_ptr<const TlsContext> PrepareTls(std::string& problem);
    void WarnAboutPlainPort();
    // Raises the soft descriptor limit as far as `connections` need and the
    // hard limit allows, and warns when that is not enough.
    void FitDescriptorLimit(size_t connections);
    // Where the embedded directory lives: the install directory, or its
    // default folder when none is known.
    std::filesystem::path ImHome() const;

    const std::filesystem::path m_baseDir;
    StartupView& m_view;
    DirectoryFactory m_factory;
    ServerConfig m_config;
    std::unique_ptr<AdminStore> m_adminStore;
    std::unique_ptr<AuditTrail> m_auditTrail;
    std::unique_ptr<AuditRecorder> m_auditRecorder;
    std::unique_ptr<AuditRetention> m_auditRetention;
    std::unique_ptr<LoginThrottle> m_throttle;
    ControlChannel m_control;
    std::unique_ptr<SessionRegistry> m_sessions;
    std::unique_ptr<WorkerPool> m_hashingPool;
    std::unique_ptr<LoginFlow> m_loginFlow;
    std::unique_ptr<DeptOrdering> m_ordering;
    std::unique_ptr<DirectoryPlacement> m_placement;  // on LDAP, instead of m_ordering
    ImService m_im;
    std::shared_ptr<ImRoot> m_root;
    Services m_services;
    std::unique_ptr<Dispatcher> m_dispatcher;
    std::unique_ptr<ServerEngine> m_engine;
    bool m_engineStarted = false;
};

}  // namespace warden
