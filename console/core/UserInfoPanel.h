// The read-only panel below the user list with the selected user's details.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QFrame>

#include "console/core/UserPanel.h"

class QComboBox;
class QLineEdit;

namespace warden::console {

class UserInfoPanel final : public QFrame {
    Q_OBJECT

  public:
    explicit UserInfoPanel(QWidget* parent = nullptr);

    void Show(const UserPanel& panel);
    // When the tree takes the focus: every box read-only, and the gender box
    // without a selection and disabled.
    void ClearGenderSelection();
    // The text of the "角色:" box (the user editor starts from it).
    QString RolesText() const;

  private:
    QLineEdit* AddBox(const char* label, const char* name, int row, int column, int span = 1);

    QLineEdit* m_account;
    QLineEdit* m_name;
    QLineEdit* m_position;
    QComboBox* m_gender;
    QLineEdit* m_mobile;
    QLineEdit* m_phone;
    QLineEdit* m_email;
    QLineEdit* m_level;
    QLineEdit* m_roles;
};

}  // namespace warden::console
