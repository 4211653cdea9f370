// The console program's course: the login dialog, then the main window; and
// when the connection is lost and the user agrees, a new login whose window
// replaces the old one.
//
// The old window owns every dialog opened from it, and a modal dialog runs
// its own event loop with its frame on the stack; so a re-login first closes
// the open dialogs and menus, waits until their loops have returned, and only
// then logs in and replaces the window. Until a new login succeeds the window
// stays, marked as without a connection, and every action offers the login.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QList>
#include <QObject>
#include <filesystem>
#include <memory>

#include "console/core/ConsoleTransport.h"
#include "console/core/DialogRegistry.h"
#include "console/core/LoginState.h"
#include "console/core/QtMessageSink.h"
#include "console/core/QtTrustPrompt.h"
#include "console/core/QtWaitObserver.h"
#include "console/core/ServerTrust.h"

class QDialog;

namespace warden::console {

class MainWindow;

class ConsoleApp final : public QObject {
    Q_OBJECT

  public:
    // `sink` replaces the message boxes when given (tests); `startDir` is
    // where client.cfg lives (default: the current directory).
    // REQUIRES: `sink`, when given, outlives the object.
    explicit ConsoleApp(DialogRegistry dialogs = {}, MessageSink* sink = nullptr,
                        std::filesystem::path startDir = {});
    ~ConsoleApp() override;

    // Shows the login and, after a successful one, runs the main window until
    // it closes. Returns the program's exit code.
    int Run();

    // The login, then the main window shown; false when the login was
    // cancelled. Run() is Start() and the main event loop.
    bool Start();

    // The current main window; null before the first login.
    MainWindow* Window() const { return m_window.get(); }
    // The certificate dialogs, for their test hook.
    QtTrustPrompt& TrustDialogs() { return m_trustPrompt; }

  private:
    // Runs the login dialog; fills `state` and returns true on success.
    bool Login(QWidget* owner, LoginState& state);
    void ShowMainWindow(LoginState state);
    // The transport found the connection lost: asks once per action whether
    // to log in again.
    void OnConnectionLost();
    // Arranges a new login as soon as nothing runs under the main loop.
    void Relogin();
    void ReloginWhenUnwound();
    // Closes every open dialog and menu; true when there was one.
    bool CloseOpenWindows();
    static QList<QDialog*> OpenDialogs();

    QtMessageSink m_qtSink;
    MessageSink& m_sink;
    QtWaitObserver m_waits;
    ConsoleTransport m_transport;
    DialogRegistry m_dialogs;
    std::filesystem::path m_startDir;
    QtTrustPrompt m_trustPrompt;
    ServerTrust m_trust;
    std::unique_ptr<MainWindow> m_window;
    bool m_asking = false;          // the lost-connection question of this action was asked
    bool m_reloginPending = false;  // a re-login waits for the dialogs to close
};

}  // namespace warden::console
