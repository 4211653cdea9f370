// The dialog "修改密码": binds its boxes to ChangePasswordLogic.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QDialog>

#include "console/dialogs/ChangePasswordLogic.h"

class QLineEdit;

namespace warden::console {

class ChangePasswordDialog final : public QDialog {
    Q_OBJECT

  public:
    // REQUIRES: `logic` outlives the dialog.
    explicit ChangePasswordDialog(ChangePasswordLogic& logic, QWidget* parent = nullptr);

  private:
    void OnSubmit();

    ChangePasswordLogic& m_logic;
    QLineEdit* m_oldPassword;
    QLineEdit* m_newPassword;
    QLineEdit* m_confirmation;
};

}  // namespace warden::console
