// The login dialog "登录": binds its boxes and buttons to LoginLogic.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QDialog>

#include "console/core/LoginLogic.h"

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

    LoginLogic& m_logic;
    QLineEdit* m_address;
    QLineEdit* m_port;
    QLineEdit* m_name;
    QLineEdit* m_password;
    QPushButton* m_login;
    QPushButton* m_cancel;
};

}  // namespace warden::console
