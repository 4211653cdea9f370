#include "console/dialogs/UserDialogs.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "console/core/FieldWidgets.h"
#include "console/dialogs/DeptPickerView.h"
#include "console/dialogs/DialogTexts.h"
#include "console/dialogs/DialogWidgets.h"
#include "protocol/NameRules.h"

namespace warden::console {

// --- 用户角色管理 ------------------------------------------------------------

UserRolesDialog::UserRolesDialog(UserRolesLogic& logic, QWidget* parent)
    : QDialog(parent),
      m_logic(logic),
      m_available(new QListWidget(this)),
      m_given(new QListWidget(this)) {
    setWindowTitle(Q(text::kUserRolesTitle));
    setObjectName("userRolesDialog");
    m_available->setObjectName("availableRoles");
    m_given->setObjectName("givenRoles");
    QPushButton* give = Button(this, text::kMoveRight, "giveButton");
    m_takeBack = Button(this, text::kMoveLeft, "takeBackButton");
    QPushButton* ok = Button(this, text::kOk, "okButton");
    ok->setDefault(true);

    auto* left = new QGroupBox(Q(text::kAllRolesGroup), this);
    (new QVBoxLayout(left))->addWidget(m_available);
    auto* right = new QGroupBox(Q(text::kUserRolesGroup), this);
    (new QVBoxLayout(right))->addWidget(m_given);
    auto* middle = new QVBoxLayout;
    middle->addStretch();
    middle->addWidget(give);
    middle->addWidget(m_takeBack);
    middle->addStretch();
    auto* lists = new QHBoxLayout;
    lists->addWidget(left);
    lists->addLayout(middle);
    lists->addWidget(right);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(lists);
    outer->addLayout(buttons);
    resize(460, 320);

    connect(m_available, &QListWidget::itemSelectionChanged, this,
            [this] { m_logic.SelectAvailable(SelectedRow(m_available)); });
    connect(m_given, &QListWidget::itemSelectionChanged, this, [this] {
        m_logic.SelectGiven(SelectedRow(m_given));
        m_takeBack->setEnabled(m_logic.CanTakeBack());
    });
    auto give_ = [this] {
        m_logic.GiveSelected();
        Refresh();
    };
    auto takeBack_ = [this] {
        m_logic.TakeBackSelected();
        Refresh();
    };
    connect(give, &QPushButton::clicked, this, give_);
    connect(m_available, &QListWidget::itemDoubleClicked, this, give_);
    connect(m_takeBack, &QPushButton::clicked, this, takeBack_);
    connect(m_given, &QListWidget::itemDoubleClicked, this, takeBack_);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    m_logic.Open();
    Refresh();
}

void UserRolesDialog::Refresh() {
    MirrorList(m_available, m_logic.Available());
    MirrorList(m_given, m_logic.Given());
    m_takeBack->setEnabled(m_logic.CanTakeBack());
}

// --- 添加用户 / 修改用户信息 -------------------------------------------------

UserEditorDialog::UserEditorDialog(UserEditorLogic& logic, RolesEditor editRoles, QWidget* parent)
    : QDialog(parent),
      m_logic(logic),
      m_editRoles(std::move(editRoles)),
      m_account(Box(this, "account")),
      m_password(Box(this, "password")),
      m_passwordNote(new QLabel(Q(text::kPasswordNote), this)),
      m_name(Box(this, "name")),
      m_level(new QComboBox(this)),
      m_gender(new QComboBox(this)),
      m_position(Box(this, "position")),
      m_mobile(Box(this, "mobile")),
      m_phone(Box(this, "phone")),
      m_email(Box(this, "email")),
      m_roles(Box(this, "roles")),
      m_depts(new QListWidget(this)) {
    setWindowTitle(Q(m_logic.Title()));
    setObjectName("userEditorDialog");
    m_password->setEchoMode(QLineEdit::Password);
    m_password->installEventFilter(this);
    m_passwordNote->setObjectName("passwordNote");
    m_passwordNote->setStyleSheet("color: #c00000;");
    // The note comes and goes with the focus; its place is always kept, so
    // that the fields below it never jump.
    QSizePolicy notePolicy = m_passwordNote->sizePolicy();
    notePolicy.setRetainSizeWhenHidden(true);
    m_passwordNote->setSizePolicy(notePolicy);
    m_passwordNote->hide();
    m_level->setObjectName("level");
    for (const std::string& level : UserEditorLogic::Levels()) m_level->addItem(Q(level));
    m_gender->setObjectName("gender");
    m_gender->addItem(Q(text::kMale));
    m_gender->addItem(Q(text::kFemale));
    SetReadOnly(m_roles);
    m_depts->setObjectName("depts");
    SetReadOnly(m_account, m_logic.AccountReadOnly());
    LimitLength(m_account, limits::kAccount);
    LimitLength(m_password, limits::kPassword);
    LimitLength(m_name, limits::kUserName);
    LimitLength(m_position, limits::kPosition);
    LimitLength(m_mobile, limits::kMobile);
    LimitLength(m_phone, limits::kPhone);
    LimitLength(m_email, limits::kEmail);
    m_tree = new DeptPickerView(m_logic.Tree(), this);
    m_tree->setObjectName("deptTree");
    m_tree->setMinimumSize(220, 300);

    QPushButton* rolesButton = Button(this, text::kRolesButton, "rolesButton");
    QPushButton* addDept = Button(this, text::kAddDeptButton, "addDeptButton");
    QPushButton* removeDept = Button(this, text::kRemoveDeptButton, "removeDeptButton");
    QPushButton* submit = Button(this, text::kSubmit, "submitButton");
    submit->setDefault(true);
    QPushButton* close = Button(this, text::kClose, "closeButton");

    auto* grid = new QGridLayout;
    int row = 0;
    auto addRow = [&](const char* label, QWidget* field) {
        grid->addWidget(new QLabel(Q(label), this), row, 0);
        grid->addWidget(field, row, 1, 1, 2);
        ++row;
    };
    addRow(text::kAccountLabel, m_account);
    addRow(text::kPasswordLabelUser, m_password);
    grid->addWidget(m_passwordNote, row++, 1, 1, 2);
    addRow(text::kNameLabel, m_name);
    addRow(text::kLevelLabel, m_level);
    addRow(text::kGenderLabel, m_gender);
    addRow(text::kPositionLabel, m_position);
    addRow(text::kMobileLabel, m_mobile);
    addRow(text::kPhoneLabel, m_phone);
    addRow(text::kEmailLabel, m_email);
    grid->addWidget(new QLabel(Q(text::kRolesLabel), this), row, 0);
    grid->addWidget(m_roles, row, 1);
    grid->addWidget(rolesButton, row++, 2);
    grid->addWidget(new QLabel(Q(text::kDeptsLabel), this), row, 0, Qt::AlignTop);
    grid->addWidget(m_depts, row++, 1, 1, 2);
    auto* deptButtons = new QHBoxLayout;
    deptButtons->addStretch();
    deptButtons->addWidget(addDept);
    deptButtons->addWidget(removeDept);
    grid->addLayout(deptButtons, row++, 1, 1, 2);

    auto* treeGroup = new QGroupBox(Q(text::kDeptTreeGroup), this);
    (new QVBoxLayout(treeGroup))->addWidget(m_tree);
    auto* columns = new QHBoxLayout;
    columns->addLayout(grid, 1);
    columns->addWidget(treeGroup, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(submit);
    buttons->addWidget(close);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(columns);
    outer->addLayout(buttons);
    resize(620, 520);

    m_tree->SetClickHandler([this](const DeptNode* selected) { m_logic.ClickTree(selected); });
    connect(m_depts, &QListWidget::itemSelectionChanged, this,
            [this] { m_logic.SelectDept(SelectedRow(m_depts)); });
    connect(addDept, &QPushButton::clicked, this, [this] {
        m_logic.AddChosenDept();
        MirrorList(m_depts, m_logic.Depts());
    });
    connect(removeDept, &QPushButton::clicked, this, [this] {
        m_logic.RemoveSelectedDept();
        MirrorList(m_depts, m_logic.Depts());
    });
    connect(rolesButton, &QPushButton::clicked, this, [this] {
        std::string roles = S(m_roles->text());
        if (m_editRoles && m_editRoles(this, roles)) m_roles->setText(Q(roles));
    });
    connect(submit, &QPushButton::clicked, this, &UserEditorDialog::OnSubmit);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    m_logic.Open();
    ShowForm(m_logic.Form());
    MirrorList(m_depts, m_logic.Depts());
    if (m_logic.PartlyOutside()) {
        // Said at once, where the password would go, rather than by a
        // refusal after 提交.
        m_password->setEnabled(false);
        m_name->setEnabled(false);
        m_passwordNote->setText(Q(text::kPartlyOutsideNote));
        m_passwordNote->show();
    }
    if (m_logic.Mode() == UserEditorMode::kUpdate) {
        m_name->setFocus();
    } else {
        m_account->setFocus();
    }
}

bool UserEditorDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_password &&
        (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
        m_passwordNote->setVisible(m_logic.ShowsPasswordNote(event->type() == QEvent::FocusIn));
    }
    return QDialog::eventFilter(watched, event);
}

void UserEditorDialog::ShowForm(const UserForm& form) {
    m_account->setText(Q(form.account));
    m_password->setText(Q(form.password));
    m_name->setText(Q(form.name));
    m_level->setCurrentIndex(m_level->findText(Q(form.level)));
    m_gender->setCurrentIndex(m_gender->findText(Q(form.gender)));
    m_position->setText(Q(form.position));
    m_mobile->setText(Q(form.mobile));
    m_phone->setText(Q(form.phone));
    m_email->setText(Q(form.email));
    m_roles->setText(Q(form.roles));
}

UserForm UserEditorDialog::ReadForm() const {
    UserForm form;
    form.account = S(m_account->text());
    form.password = S(m_password->text());
    form.name = S(m_name->text());
    form.level = S(m_level->currentText());
    form.gender = S(m_gender->currentText());
    form.position = S(m_position->text());
    form.mobile = S(m_mobile->text());
    form.phone = S(m_phone->text());
    form.email = S(m_email->text());
    form.roles = S(m_roles->text());
    return form;
}

void UserEditorDialog::OnSubmit() {
    switch (m_logic.Submit(ReadForm())) {
        case UserSubmitOutcome::kSubmitted:
            ShowForm(m_logic.Form());
            break;
        case UserSubmitOutcome::kClose:
            accept();
            break;
        case UserSubmitOutcome::kFocusAccount:
            m_account->setFocus();
            break;
        case UserSubmitOutcome::kStayOpen:
            break;
    }
}

}  // namespace warden::console
