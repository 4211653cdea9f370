#include "console/core/ConsoleApp.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QThread>
#include <QTimer>
#include <system_error>

#include "console/core/ConsoleTexts.h"
#include "console/core/LoginDialog.h"
#include "console/core/LoginLogic.h"
#include "console/core/MainWindow.h"

namespace warden::console {

namespace {

// The event loop level of QApplication::exec(): a deeper level means that
// some modal loop (a dialog, a message box, a menu) is still running.
constexpr int kMainLoopLevel = 1;
constexpr int kUnwindRetryMs = 20;

std::filesystem::path CurrentDir() {
    std::error_code ignored;
    return std::filesystem::current_path(ignored);
}

}  // namespace

ConsoleApp::ConsoleApp(DialogRegistry dialogs, MessageSink* sink, std::filesystem::path startDir)
    : m_sink(sink != nullptr ? *sink : m_qtSink),
      m_transport(m_sink),
      m_dialogs(std::move(dialogs)),
      m_startDir(startDir.empty() ? CurrentDir() : std::move(startDir)),
      m_trust(m_startDir / kClientConfigName, m_trustPrompt, m_sink) {
    m_transport.SetWaitObserver(&m_waits);
    m_transport.SetCertificateJudge(&m_trust);
}

ConsoleApp::~ConsoleApp() {
    m_window.reset();
    m_transport.SetWaitObserver(nullptr);
    m_transport.SetCertificateJudge(nullptr);
}

int ConsoleApp::Run() {
    if (!Start()) return 0;
    return QApplication::exec();
}

bool ConsoleApp::Start() {
    LoginState state;
    if (!Login(nullptr, state)) return false;
    ShowMainWindow(std::move(state));
    return true;
}

bool ConsoleApp::Login(QWidget* owner, LoginState& state) {
    // During the login a lost connection is a plain message: the dialog
    // itself is the way to try again.
    m_transport.SetLostHandler({});
    LoginLogic logic(m_transport, m_sink, state, m_startDir);
    LoginDialog dialog(logic, owner);
    bool loggedIn = dialog.exec() == QDialog::Accepted;
    m_transport.SetLostHandler([this] { OnConnectionLost(); });
    return loggedIn;
}

void ConsoleApp::ShowMainWindow(LoginState state) {
    std::unique_ptr<MainWindow> old = std::move(m_window);
    m_window = std::make_unique<MainWindow>(m_transport, m_sink, std::move(state), m_dialogs);
    m_window->SetReloginHandler([this] { Relogin(); });
    m_window->show();
    if (m_window->Login().initialPassword) {
        // Everybody knows that password: the dialog comes before anything else.
        QTimer::singleShot(0, m_window.get(), [window = m_window.get()] {
            if (QAction* change = window->CommandAction(ConsoleCommand::kChangePassword)) {
                change->trigger();
            }
        });
    }
    if (old) {
        old->hide();
        old.release()->deleteLater();
    }
}

void ConsoleApp::OnConnectionLost() {
    if (m_window) m_window->ShowConnectionLost(true);
    // The other requests of the same action find the question asked; the
    // flag falls when control is back in an event loop, so the next action
    // asks again.
    if (m_asking || m_reloginPending) return;
    m_asking = true;
    // Logging in again closes the open dialogs: say so while Cancel can
    // still keep what is typed in them.
    std::string question;
    if (m_transport.LoginEnded()) {
        question = text::kLoginEndedRelogin;
        if (!OpenDialogs().isEmpty()) question += text::kReloginClosesDialogs;
    } else {
        question = !OpenDialogs().isEmpty() ? text::kConnectionLostReloginDialogs
                                            : text::kConnectionLostRelogin;
    }
    bool again = m_sink.AskOkCancel(text::kCaptionConfirm, question);
    QTimer::singleShot(0, this, [this] { m_asking = false; });
    if (again) Relogin();
}

void ConsoleApp::Relogin() {
    if (m_reloginPending) return;
    m_reloginPending = true;
    // Never from inside the exchange or the dialog that asked for it.
    QTimer::singleShot(0, this, &ConsoleApp::ReloginWhenUnwound);
}

QList<QDialog*> ConsoleApp::OpenDialogs() {
    QList<QDialog*> open;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (dialog != nullptr && dialog->isVisible()) open.append(dialog);
    }
    return open;
}

bool ConsoleApp::CloseOpenWindows() {
    bool closed = false;
    while (QWidget* popup = QApplication::activePopupWidget()) {
        popup->close();
        closed = true;
    }
    for (QDialog* dialog : OpenDialogs()) {
        dialog->reject();
        closed = true;
    }
    return closed;
}

void ConsoleApp::ReloginWhenUnwound() {
    // Deleting the old window while one of its dialogs still runs would free
    // the dialog under its own event loop.
    bool closed = CloseOpenWindows();
    if (closed || m_transport.Busy() || QThread::currentThread()->loopLevel() > kMainLoopLevel) {
        QTimer::singleShot(kUnwindRetryMs, this, &ConsoleApp::ReloginWhenUnwound);
        return;
    }
    m_reloginPending = false;
    LoginState state;
    if (Login(m_window.get(), state)) {
        ShowMainWindow(std::move(state));
        return;
    }
    // Given up: a connection the login may have opened is not logged in.
    m_transport.Disconnect();
    if (m_window) m_window->ShowConnectionLost(true);
}

}  // namespace warden::console
