// The login dialog "登录": binds its boxes and buttons to LoginLogic. The box
// "加密连接" chooses the transport (a warning stands beside it while it is
// unticked); the menu "证书" removes a server's trusted certificate.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QDialog>

#include "console/core/LoginLogic.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace warden::console {

class LoginDialog final : public QDialog {
    Q_OBJECT

  public:
    // REQUIRES: `logic` outlives the dialog.
    explicit LoginDialog(LoginLogic& logic, QWidget* parent = nullptr);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void OnLogin();
    // The box "加密连接" changed: the transport line, the warning, the port.
    void OnSecurityChanged(bool encrypted);

    LoginLogic& m_logic;
    QLineEdit* m_address;
    QLineEdit* m_port;
    QLineEdit* m_name;
    QLineEdit* m_password;
    QCheckBox* m_encrypted;
    QLabel* m_plainWarning;
    QLabel* m_transport;
    QPushButton* m_login;
    QPushButton* m_cancel;
};

}  // namespace warden::console
