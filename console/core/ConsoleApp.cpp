#include "console/core/ConsoleApp.h"

#include <QApplication>
#include <QStatusBar>
#include <QTimer>
#include <filesystem>
#include <system_error>

#include "console/core/ConsoleTexts.h"
#include "console/core/LoginDialog.h"
#include "console/core/LoginLogic.h"
#include "console/core/MainWindow.h"

namespace warden::console {

ConsoleApp::ConsoleApp(DialogRegistry dialogs)
    : m_transport(m_sink), m_dialogs(std::move(dialogs)) {
    m_transport.SetWaitObserver(&m_waits);
}

ConsoleApp::~ConsoleApp() {
    m_window.reset();
    m_transport.SetWaitObserver(nullptr);
}

int ConsoleApp::Run() {
    LoginState state;
    if (!Login(nullptr, state)) return 0;
    ShowMainWindow(std::move(state));
    return QApplication::exec();
}

bool ConsoleApp::Login(QWidget* owner, LoginState& state) {
    // During the login a lost connection is a plain message: the dialog
    // itself is the way to try again.
    m_transport.SetReloginHandler({});
    std::error_code ignored;
    LoginLogic logic(m_transport, m_sink, state, std::filesystem::current_path(ignored));
    LoginDialog dialog(logic, owner);
    bool loggedIn = dialog.exec() == QDialog::Accepted;
    m_transport.SetReloginHandler([this] {
        // Not from inside the exchange that noticed the loss: the window that
        // made it must finish first.
        QTimer::singleShot(0, this, &ConsoleApp::Relogin);
    });
    return loggedIn;
}

void ConsoleApp::ShowMainWindow(LoginState state) {
    std::unique_ptr<MainWindow> old = std::move(m_window);
    m_window = std::make_unique<MainWindow>(m_transport, m_sink, std::move(state), m_dialogs);
    m_window->show();
    if (old) {
        old->hide();
        old.release()->deleteLater();
    }
}

void ConsoleApp::Relogin() {
    if (m_window) m_window->statusBar()->showMessage(QString::fromUtf8(text::kConnectionLost));
    LoginState state;
    if (Login(m_window.get(), state)) ShowMainWindow(std::move(state));
}

}  // namespace warden::console
