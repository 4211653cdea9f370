#include "console/dialogs/RoleDialogs.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTreeWidget>

#include "console/core/FieldWidgets.h"
#include "console/dialogs/DialogTexts.h"
#include "console/dialogs/DialogWidgets.h"
#include "protocol/NameRules.h"

namespace warden::console {

namespace {

// A right list: description, deny, allow and the hidden identity.
QTreeWidget* RightList(QWidget* parent, const char* name) {
    auto* list = new QTreeWidget(parent);
    list->setObjectName(name);
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setHeaderLabels(
        {Q(text::kRightDescHeader), Q(text::kDeny), Q(text::kAllow), Q(text::kIdentityHeader)});
    list->header()->setStretchLastSection(false);
    list->setColumnWidth(0, 150);
    // The description takes whatever room the dialog has beyond its 150.
    list->header()->setMinimumSectionSize(60);
    list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    list->setColumnWidth(1, 60);
    list->setColumnWidth(2, 60);
    list->setColumnHidden(3, true);
    list->header()->setDefaultAlignment(Qt::AlignCenter);
    return list;
}

void MirrorRights(QTreeWidget* list, const RightRows& rights) {
    QSignalBlocker blocker(list);
    list->clear();
    for (const RightRow& row : rights.Rows()) {
        auto* item = new QTreeWidgetItem(
            list, {Q(row.description), Q(row.deny), Q(row.allow), Q(row.identity)});
        item->setTextAlignment(1, Qt::AlignCenter);
        item->setTextAlignment(2, Qt::AlignCenter);
    }
    if (rights.HasSelection()) {
        list->setCurrentItem(list->topLevelItem(rights.Selected()));
    } else {
        list->clearSelection();
    }
}

int SelectedRightRow(const QTreeWidget* list) {
    QList<QTreeWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->indexOfTopLevelItem(selected.first());
}

}  // namespace

// --- 角色管理 ----------------------------------------------------------------

RoleManagerDialog::RoleManagerDialog(RoleManagerLogic& logic, Transport& transport,
                                     MessageSink& sink, QWidget* parent)
    : QDialog(parent),
      m_logic(logic),
      m_transport(transport),
      m_sink(sink),
      m_roles(new QListWidget(this)),
      m_rights(RightList(this, "rights")),
      m_name(new QLineEdit(this)),
      m_description(new QPlainTextEdit(this)),
      m_update(Button(this, text::kUpdateRole, "updateButton")),
      m_editRight(Button(this, text::kEditRight, "editRightButton")),
      m_delete(Button(this, text::kDeleteRole, "deleteButton")) {
    setWindowTitle(Q(text::kRoleManagerTitle));
    setObjectName("roleManagerDialog");
    m_roles->setObjectName("roles");
    m_name->setObjectName("roleName");
    m_description->setObjectName("roleDescription");
    m_description->setTabChangesFocus(true);
    LimitLength(m_name, limits::kRoleName);
    LimitLength(m_description, limits::kRoleDescription);
    QPushButton* addRole = Button(this, text::kAddRole, "addRoleButton");
    QPushButton* close = Button(this, text::kClose, "closeButton");
    close->setDefault(true);

    auto* roleGroup = new QGroupBox(Q(text::kRoleListGroup), this);
    (new QVBoxLayout(roleGroup))->addWidget(m_roles);
    roleGroup->setMaximumWidth(180);
    auto* rightGroup = new QGroupBox(Q(text::kRightListGroup), this);
    (new QVBoxLayout(rightGroup))->addWidget(m_rights);
    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(Q(text::kRoleNameLabel), this), 0, 0);
    fields->addWidget(m_name, 0, 1);
    fields->addWidget(new QLabel(Q(text::kRoleDescLabel), this), 1, 0, Qt::AlignTop);
    fields->addWidget(m_description, 1, 1);
    m_description->setMaximumHeight(70);
    auto* right = new QVBoxLayout;
    right->addLayout(fields);
    right->addWidget(rightGroup, 1);
    auto* columns = new QHBoxLayout;
    columns->addWidget(roleGroup);
    columns->addLayout(right, 1);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(columns);
    outer->addLayout(ButtonRow({m_update, addRole, m_editRight, m_delete, close}));
    resize(640, 420);

    connect(m_roles, &QListWidget::itemSelectionChanged, this, &RoleManagerDialog::OnRoleClicked);
    connect(m_rights, &QTreeWidget::itemSelectionChanged, this,
            [this] { m_logic.ClickRight(SelectedRightRow(m_rights)); });
    connect(m_rights, &QTreeWidget::itemDoubleClicked, this, [this] {
        m_logic.ClickRight(SelectedRightRow(m_rights));
        OnEditRight();
    });
    // A refused change or a deletion given up changes nothing: the boxes
    // keep what was typed.
    connect(m_update, &QPushButton::clicked, this, [this] {
        if (m_logic.UpdateRole(S(m_name->text()), S(m_description->toPlainText()))) Refresh();
    });
    connect(m_delete, &QPushButton::clicked, this, [this] {
        if (m_logic.DeleteRole()) Refresh();
    });
    connect(m_editRight, &QPushButton::clicked, this, &RoleManagerDialog::OnEditRight);
    connect(addRole, &QPushButton::clicked, this, &RoleManagerDialog::OnAddRole);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    m_logic.Open();
    Refresh();
}

void RoleManagerDialog::Refresh() {
    MirrorList(m_roles, m_logic.Roles());
    MirrorRights(m_rights, m_logic.Rights());
    m_name->setText(Q(m_logic.NameField()));
    m_description->setPlainText(Q(m_logic.DescriptionField()));
    const bool changeable = m_logic.RoleChangeable();
    SetReadOnly(m_name, !changeable);
    SetReadOnly(m_description, !changeable);
    m_update->setEnabled(changeable);
    m_editRight->setEnabled(changeable);
    m_delete->setEnabled(changeable);
}

void RoleManagerDialog::OnRoleClicked() {
    m_logic.ClickRole(SelectedRow(m_roles));
    Refresh();
}

void RoleManagerDialog::OnEditRight() {
    std::optional<RightSetting> setting = m_logic.RightToEdit();
    if (!setting || !m_logic.RoleChangeable()) return;
    RightSettingLogic logic(m_transport, m_sink, m_logic, std::move(*setting));
    RightSettingDialog dialog(logic, this);
    dialog.exec();
    MirrorRights(m_rights, m_logic.Rights());
}

void RoleManagerDialog::OnAddRole() {
    AddRoleLogic logic(m_transport, m_sink, m_logic);
    AddRoleDialog dialog(logic, this);
    dialog.exec();
    MirrorList(m_roles, m_logic.Roles());
}

// --- 权限设置 ----------------------------------------------------------------

RightSettingDialog::RightSettingDialog(RightSettingLogic& logic, QWidget* parent)
    : QDialog(parent), m_logic(logic), m_choice(this) {
    setWindowTitle(Q(text::kRightSettingTitle));
    setObjectName("rightSettingDialog");
    auto* description = new QLabel(Q(m_logic.Description()), this);
    description->setObjectName("rightDescription");
    QPushButton* submit = Button(this, text::kSubmit, "submitButton");
    submit->setDefault(true);
    QPushButton* close = Button(this, text::kClose, "closeButton");

    auto* choice = new QHBoxLayout;
    choice->addWidget(m_choice.Deny());
    choice->addWidget(m_choice.Allow());
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(description);
    outer->addLayout(choice);
    outer->addLayout(ButtonRow({submit, close}));
    setMinimumWidth(260);

    m_choice.Show(m_logic.InitialChoice());
    connect(submit, &QPushButton::clicked, this, [this] {
        m_logic.Submit(m_choice.Choice());
        accept();
    });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

// --- 添加角色 ----------------------------------------------------------------

AddRoleDialog::AddRoleDialog(AddRoleLogic& logic, QWidget* parent)
    : QDialog(parent),
      m_logic(logic),
      m_name(new QLineEdit(this)),
      m_description(new QPlainTextEdit(this)),
      m_rights(RightList(this, "rights")),
      m_choice(this) {
    setWindowTitle(Q(text::kAddRole));
    setObjectName("addRoleDialog");
    m_name->setObjectName("roleName");
    m_description->setObjectName("roleDescription");
    m_description->setTabChangesFocus(true);
    m_description->setMaximumHeight(70);
    LimitLength(m_name, limits::kRoleName);
    LimitLength(m_description, limits::kRoleDescription);
    QPushButton* submit = Button(this, text::kSubmit, "submitButton");
    submit->setDefault(true);
    QPushButton* close = Button(this, text::kClose, "closeButton");

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(Q(text::kRoleNameLabel), this), 0, 0);
    fields->addWidget(m_name, 0, 1);
    fields->addWidget(new QLabel(Q(text::kNewRoleDescLabel), this), 1, 0, Qt::AlignTop);
    fields->addWidget(m_description, 1, 1);
    auto* rightGroup = new QGroupBox(Q(text::kRightSettingGroup), this);
    (new QVBoxLayout(rightGroup))->addWidget(m_rights);
    auto* valueGroup = new QGroupBox(Q(text::kRightValueGroup), this);
    auto* values = new QVBoxLayout(valueGroup);
    values->addWidget(m_choice.Deny());
    values->addWidget(m_choice.Allow());
    values->addStretch();
    auto* middle = new QHBoxLayout;
    middle->addWidget(rightGroup, 1);
    middle->addWidget(valueGroup);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(fields);
    outer->addLayout(middle, 1);
    outer->addLayout(ButtonRow({submit, close}));
    resize(480, 440);

    connect(m_rights, &QTreeWidget::itemSelectionChanged, this,
            [this] { m_choice.Show(m_logic.ClickRight(SelectedRightRow(m_rights))); });
    auto choose = [this](RightChoice choice) {
        m_logic.Choose(choice);
        MirrorRights(m_rights, m_logic.Rights());
    };
    connect(m_choice.Deny(), &QRadioButton::clicked, this,
            [choose] { choose(RightChoice::kDeny); });
    connect(m_choice.Allow(), &QRadioButton::clicked, this,
            [choose] { choose(RightChoice::kAllow); });
    connect(submit, &QPushButton::clicked, this, [this] {
        switch (m_logic.Submit(S(m_name->text()), S(m_description->toPlainText()))) {
            case AddRoleOutcome::kAdded:
                m_name->clear();
                m_description->clear();
                break;
            case AddRoleOutcome::kFocusName:
                m_name->setFocus();
                break;
            case AddRoleOutcome::kStayOpen:
                break;
        }
    });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    m_logic.Open();
    MirrorRights(m_rights, m_logic.Rights());
    m_name->setFocus();
}

RightChoiceButtons::RightChoiceButtons(QWidget* parent)
    : m_deny(new QRadioButton(Q(text::kDeny), parent)),
      m_allow(new QRadioButton(Q(text::kAllow), parent)) {
    m_deny->setObjectName("deny");
    m_allow->setObjectName("allow");
    auto* group = new QButtonGroup(parent);
    group->addButton(m_deny);
    group->addButton(m_allow);
}

void RightChoiceButtons::Show(RightChoice choice) {
    // Both unchecked must be possible: a right may come with neither mark.
    auto* group = m_deny->group();
    group->setExclusive(false);
    m_deny->setChecked(choice == RightChoice::kDeny);
    m_allow->setChecked(choice == RightChoice::kAllow);
    group->setExclusive(true);
}

RightChoice RightChoiceButtons::Choice() const {
    if (m_allow->isChecked()) return RightChoice::kAllow;
    if (m_deny->isChecked()) return RightChoice::kDeny;
    return RightChoice::kNone;
}

}  // namespace warden::console
