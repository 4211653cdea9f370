#include "console/core/LoginDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QToolButton>

#include "console/core/ConsoleIcons.h"
#include "console/core/ConsoleTexts.h"
#include "console/core/FieldWidgets.h"
#include "console/core/PortKeyFilter.h"
#include "protocol/NameRules.h"

namespace warden::console {

namespace {
QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}
std::string S(const QString& text) {
    return text.toStdString();
}
}  // namespace

LoginDialog::LoginDialog(LoginLogic& logic, QWidget* parent)
    : QDialog(parent),
      m_logic(logic),
      m_address(new QLineEdit(this)),
      m_port(new QLineEdit(this)),
      m_name(new QLineEdit(this)),
      m_password(new QLineEdit(this)),
      m_encrypted(new QCheckBox(Q(text::kEncryptedBox), this)),
      m_plainWarning(new QLabel(Q(text::kPlainWarning), this)),
      m_transport(new QLabel(Q(text::kTransportTls), this)),
      m_login(new QPushButton(Q(text::kLoginButton), this)),
      m_cancel(new QPushButton(Q(text::kCancelButton), this)) {
    setWindowTitle(Q(text::kLoginTitle));
    setObjectName("loginDialog");
    setWindowIcon(ProgramIcon());
    m_address->setObjectName("address");
    m_port->setObjectName("port");
    m_name->setObjectName("loginName");
    m_password->setObjectName("password");
    m_login->setObjectName("loginButton");
    m_cancel->setObjectName("cancelButton");
    m_encrypted->setObjectName("encrypted");
    m_plainWarning->setObjectName("plainWarning");
    m_transport->setObjectName("transport");

    // A dotted IPv4 address or a host name; whether it is a whole one is
    // checked at the press of "登 录".
    m_address->setValidator(new QRegularExpressionValidator(
        QRegularExpression(R"(^[A-Za-z0-9.\-]{0,253}$)"), m_address));
    m_port->installEventFilter(new PortKeyFilter(m_port));
    m_port->setMaxLength(5);
    LimitLength(m_name, limits::kAccount);
    LimitLength(m_password, limits::kPassword);
    m_port->setMaximumWidth(60);
    m_password->setEchoMode(QLineEdit::Password);
    m_login->setDefault(true);
    // The transport and the warning take turns beside the box, in the same
    // room, so the dialog keeps its size when the box changes.
    for (QLabel* label : {m_transport, m_plainWarning}) {
        label->setWordWrap(true);
        label->setFixedWidth(270);
    }
    m_plainWarning->setStyleSheet("color: #c00000;");
    m_transport->setStyleSheet("color: #505050;");
    m_transport->setMinimumHeight(m_plainWarning->heightForWidth(270));

    auto* certificates = new QToolButton(this);
    certificates->setObjectName("certificateMenu");
    certificates->setText(Q(text::kCertificateMenu));
    certificates->setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(certificates);
    QAction* forget = menu->addAction(Q(text::kForgetCertificate));
    forget->setObjectName("forgetCertificateAction");
    certificates->setMenu(menu);
    connect(forget, &QAction::triggered, this,
            [this] { m_logic.ForgetCertificate(S(m_address->text()), S(m_port->text())); });

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(Q(text::kServerLabel), this), 0, 0);
    grid->addWidget(m_address, 0, 1);
    grid->addWidget(m_port, 0, 2);
    grid->addWidget(new QLabel(Q(text::kLoginNameLabel), this), 1, 0);
    grid->addWidget(m_name, 1, 1, 1, 2);
    grid->addWidget(new QLabel(Q(text::kPasswordLabel), this), 2, 0);
    grid->addWidget(m_password, 2, 1, 1, 2);
    auto* security = new QHBoxLayout;
    security->addWidget(m_encrypted, 0, Qt::AlignTop);
    security->addWidget(m_transport, 1, Qt::AlignTop);
    security->addWidget(m_plainWarning, 1, Qt::AlignTop);
    grid->addLayout(security, 3, 1, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(certificates);
    buttons->addStretch();
    buttons->addWidget(m_login);
    buttons->addWidget(m_cancel);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(grid);
    outer->addLayout(buttons);
    // The warning comes and goes: the dialog follows its size.
    outer->setSizeConstraint(QLayout::SetFixedSize);
    m_address->setMinimumWidth(200);

    ServerAddress shown = m_logic.InitialServer();
    m_address->setText(QString::fromStdString(shown.address));
    m_port->setText(QString::fromStdString(shown.port));
    const bool encrypted = m_logic.InitialSecurity() == WireSecurity::kTls;
    m_encrypted->setChecked(encrypted);
    m_plainWarning->setVisible(!encrypted);
    m_transport->setVisible(encrypted);
    connect(m_encrypted, &QCheckBox::toggled, this, &LoginDialog::OnSecurityChanged);

    connect(m_login, &QPushButton::clicked, this, &LoginDialog::OnLogin);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void LoginDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (LoginLogic::FocusNameFirst({S(m_address->text()), S(m_port->text())})) {
        m_name->setFocus();
    } else {
        m_address->setFocus();
    }
}

void LoginDialog::OnSecurityChanged(bool encrypted) {
    const WireSecurity security = encrypted ? WireSecurity::kTls : WireSecurity::kPlain;
    m_plainWarning->setVisible(!encrypted);
    m_transport->setVisible(encrypted);
    m_port->setText(
        QString::fromStdString(LoginLogic::PortAfterSwitch(S(m_port->text()), security)));
}

void LoginDialog::OnLogin() {
    LoginOutcome outcome = m_logic.Press(
        {S(m_address->text()), S(m_port->text()), S(m_name->text()), S(m_password->text()),
         m_encrypted->isChecked() ? WireSecurity::kTls : WireSecurity::kPlain});
    if (outcome.success) {
        accept();
        return;
    }
    switch (outcome.focus) {
        case LoginField::kAddress:
            m_address->setFocus();
            break;
        case LoginField::kName:
            m_name->setFocus();
            break;
        case LoginField::kPassword:
            m_password->setFocus();
            break;
        case LoginField::kPort:
            m_port->setFocus();
            break;
        case LoginField::kNone:
            break;
    }
}

}  // namespace warden::console
