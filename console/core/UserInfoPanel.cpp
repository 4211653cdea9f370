#include "console/core/UserInfoPanel.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "console/core/FieldWidgets.h"

namespace warden::console {

namespace {
QString Q(const std::string& utf8) {
    return QString::fromStdString(utf8);
}
}  // namespace

UserInfoPanel::UserInfoPanel(QWidget* parent) : QFrame(parent) {
    setObjectName("userPanel");
    setFrameShape(QFrame::NoFrame);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    m_account = AddBox("帐号:", "panelAccount", 0, 0);
    m_name = AddBox("姓名:", "panelName", 0, 2);
    m_position = AddBox("职务:", "panelPosition", 0, 4);

    grid->addWidget(new QLabel(QString::fromUtf8("性别:"), this), 1, 0);
    m_gender = new QComboBox(this);
    m_gender->setObjectName("panelGender");
    m_gender->addItem(QString::fromUtf8("男"));
    m_gender->addItem(QString::fromUtf8("女"));
    m_gender->setCurrentIndex(-1);
    m_gender->setEnabled(false);
    grid->addWidget(m_gender, 1, 1);

    m_mobile = AddBox("手机:", "panelMobile", 1, 2);
    m_phone = AddBox("电话:", "panelPhone", 1, 4);
    m_email = AddBox("Email:", "panelEmail", 2, 0, 3);
    m_level = AddBox("权值:", "panelLevel", 2, 4);
    m_roles = AddBox("角色:", "panelRoles", 3, 0, 5);
    setFixedSize(620, sizeHint().height());
}

QLineEdit* UserInfoPanel::AddBox(const char* label, const char* name, int row, int column,
                                 int span) {
    auto* grid = static_cast<QGridLayout*>(layout());
    grid->addWidget(new QLabel(QString::fromUtf8(label), this), row, column);
    auto* box = new QLineEdit(this);
    box->setObjectName(name);
    SetReadOnly(box);
    grid->addWidget(box, row, column + 1, 1, span);
    return box;
}

void UserInfoPanel::Show(const UserPanel& panel) {
    m_account->setText(Q(panel.account));
    m_name->setText(Q(panel.name));
    m_position->setText(Q(panel.position));
    m_gender->setCurrentIndex(panel.gender == "男" ? 0 : panel.gender == "女" ? 1 : -1);
    m_mobile->setText(Q(panel.mobile));
    m_phone->setText(Q(panel.phone));
    m_email->setText(Q(panel.email));
    m_level->setText(Q(panel.level));
    m_roles->setText(Q(panel.roles));
    for (QLineEdit* box : findChildren<QLineEdit*>()) box->setCursorPosition(0);
}

void UserInfoPanel::ClearGenderSelection() {
    for (QLineEdit* box : findChildren<QLineEdit*>()) SetReadOnly(box);
    m_gender->setCurrentIndex(-1);
    m_gender->setEnabled(false);
}

QString UserInfoPanel::RolesText() const {
    return m_roles->text();
}

}  // namespace warden::console
