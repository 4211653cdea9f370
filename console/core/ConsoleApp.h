// The console program's course: the login dialog, then the main window; and
// when the connection is lost and the user agrees, a new login whose window
// replaces the old one.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QObject>
#include <memory>

#include "console/core/ConsoleTransport.h"
#include "console/core/DialogRegistry.h"
#include "console/core/LoginState.h"
#include "console/core/QtMessageSink.h"
#include "console/core/QtWaitObserver.h"

namespace warden::console {

class MainWindow;

class ConsoleApp final : public QObject {
    Q_OBJECT

  public:
    explicit ConsoleApp(DialogRegistry dialogs = {});
    ~ConsoleApp() override;

    // Shows the login and, after a successful one, runs the main window until
    // it closes. Returns the program's exit code.
    int Run();

  private:
    // Runs the login dialog; fills `state` and returns true on success.
    bool Login(QWidget* owner, LoginState& state);
    void ShowMainWindow(LoginState state);
    void Relogin();

    QtMessageSink m_sink;
    QtWaitObserver m_waits;
    ConsoleTransport m_transport;
    DialogRegistry m_dialogs;
    std::unique_ptr<MainWindow> m_window;
};

}  // namespace warden::console
