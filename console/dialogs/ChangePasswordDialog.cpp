#include "console/dialogs/ChangePasswordDialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "console/core/FieldWidgets.h"
#include "console/dialogs/DialogTexts.h"
#include "console/dialogs/DialogWidgets.h"
#include "protocol/NameRules.h"

namespace warden::console {

ChangePasswordDialog::ChangePasswordDialog(ChangePasswordLogic& logic, QWidget* parent)
    : QDialog(parent),
      m_logic(logic),
      m_oldPassword(new QLineEdit(this)),
      m_newPassword(new QLineEdit(this)),
      m_confirmation(new QLineEdit(this)) {
    setWindowTitle(Q(text::kPasswordTitle));
    setObjectName("changePasswordDialog");
    auto* userName = new QLineEdit(Q(m_logic.UserName()), this);
    userName->setObjectName("userName");
    SetReadOnly(userName);
    m_oldPassword->setObjectName("oldPassword");
    m_newPassword->setObjectName("newPassword");
    m_confirmation->setObjectName("confirmPassword");
    for (QLineEdit* box : {m_oldPassword, m_newPassword, m_confirmation}) {
        box->setEchoMode(QLineEdit::Password);
        LimitLength(box, limits::kPassword);
    }

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(Q(text::kUserNameLabel), this), 0, 0);
    grid->addWidget(userName, 0, 1);
    grid->addWidget(new QLabel(Q(text::kOldPasswordLabel), this), 1, 0);
    grid->addWidget(m_oldPassword, 1, 1);
    grid->addWidget(new QLabel(Q(text::kNewPasswordLabel), this), 2, 0);
    grid->addWidget(m_newPassword, 2, 1);
    grid->addWidget(new QLabel(Q(text::kConfirmPasswordLabel), this), 3, 0);
    grid->addWidget(m_confirmation, 3, 1);

    auto* submit = new QPushButton(Q(text::kSubmit), this);
    submit->setObjectName("submitButton");
    submit->setDefault(true);
    auto* cancel = new QPushButton(Q(text::kCancel), this);
    cancel->setObjectName("cancelButton");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(submit);
    buttons->addWidget(cancel);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(grid);
    outer->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(300, 0)));

    connect(submit, &QPushButton::clicked, this, &ChangePasswordDialog::OnSubmit);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    m_oldPassword->setFocus();
}

void ChangePasswordDialog::OnSubmit() {
    PasswordOutcome outcome = m_logic.Submit(
        {S(m_oldPassword->text()), S(m_newPassword->text()), S(m_confirmation->text())});
    switch (outcome) {
        case PasswordOutcome::kClose:
            accept();
            break;
        case PasswordOutcome::kRetypeNew:
            m_newPassword->setFocus();
            m_newPassword->selectAll();
            break;
        case PasswordOutcome::kStayOpen:
            break;
    }
}

}  // namespace warden::console
