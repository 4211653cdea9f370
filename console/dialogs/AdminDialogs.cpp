#include "console/dialogs/AdminDialogs.h"

#include <QGridLayout>
#include <algorithm>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>

#include "console/core/FieldWidgets.h"
#include "console/dialogs/AdminDetailDialog.h"
#include "console/dialogs/DeptPickerView.h"
#include "console/dialogs/DialogTexts.h"
#include "console/dialogs/DialogWidgets.h"
#include "protocol/NameRules.h"

namespace warden::console {

// --- 添加分级管理员 / 修改分级管理员 -----------------------------------------

AdminEditorDialog::AdminEditorDialog(AdminEditorLogic& logic, QWidget* parent)
    : QDialog(parent),
      m_logic(logic),
      m_name(new QLineEdit(this)),
      m_managed(List(this, "managedDepts")),
      m_available(List(this, "availableRoles")),
      m_given(List(this, "givenRoles")) {
    setObjectName("adminEditorDialog");
    m_name->setObjectName("adminName");
    LimitLength(m_name, limits::kAccount);
    m_tree = new DeptPickerView(m_logic.Tree(), this);
    m_tree->setObjectName("deptTree");
    m_tree->setMinimumSize(200, 220);
    m_managed->installEventFilter(this);
    QPushButton* addDept = Button(this, text::kAddAccel, "addDeptButton");
    QPushButton* removeDept = Button(this, text::kDeleteAccel, "removeDeptButton");
    QPushButton* addRole = Button(this, text::kAddAccel, "addRoleButton");
    QPushButton* removeRole = Button(this, text::kDeleteAccel, "removeRoleButton");
    // Not the default button: Return in the name box must not save an
    // administrator half set up.
    QPushButton* save = Button(this, text::kSave, "saveButton");
    QPushButton* close = Button(this, text::kCloseAccel, "closeButton");

    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(new QLabel(Q(text::kUserNameLabel), this));
    nameRow->addWidget(m_name, 1);
    auto* deptGroup = new QGroupBox(Q(text::kManagedDeptsGroup), this);
    auto* depts = new QHBoxLayout(deptGroup);
    depts->addWidget(m_tree, 1);
    depts->addLayout(Column({addDept, removeDept}));
    depts->addWidget(m_managed, 1);
    auto* roleGroup = new QGroupBox(Q(text::kRolesGroup), this);
    auto* roles = new QHBoxLayout(roleGroup);
    roles->addWidget(m_available, 1);
    roles->addLayout(Column({addRole, removeRole}));
    roles->addWidget(m_given, 1);
    m_available->setMaximumHeight(120);
    m_given->setMaximumHeight(120);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save);
    buttons->addWidget(close);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(nameRow);
    outer->addWidget(deptGroup, 1);
    outer->addWidget(roleGroup);
    outer->addLayout(buttons);
    resize(560, 520);

    m_tree->SetClickHandler([this](const DeptNode* selected) { m_logic.ClickTree(selected); });
    connect(m_managed, &QListWidget::itemSelectionChanged, this,
            [this] { m_logic.SelectManaged(SelectedRow(m_managed)); });
    connect(m_available, &QListWidget::itemSelectionChanged, this,
            [this] { m_logic.SelectAvailable(SelectedRow(m_available)); });
    connect(m_given, &QListWidget::itemSelectionChanged, this,
            [this] { m_logic.SelectGiven(SelectedRow(m_given)); });
    connect(addDept, &QPushButton::clicked, this, [this] {
        bool focus = m_logic.AddChosenDept();
        Refresh();
        if (focus) m_managed->setFocus();
    });
    connect(removeDept, &QPushButton::clicked, this, [this] {
        m_logic.RemoveSelectedDept();
        Refresh();
    });
    connect(addRole, &QPushButton::clicked, this, [this] {
        m_logic.GiveSelectedRole();
        Refresh();
    });
    connect(removeRole, &QPushButton::clicked, this, [this] {
        m_logic.RemoveSelectedRole();
        Refresh();
    });
    connect(save, &QPushButton::clicked, this, [this] {
        if (m_logic.Save(S(m_name->text())) == AdminSaveOutcome::kClose) accept();
    });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    bool focusManaged = m_logic.Open();
    setWindowTitle(Q(m_logic.Title()));  // an existing administrator is opened for update
    m_name->setText(Q(m_logic.Name()));
    SetReadOnly(m_name, !m_logic.NameEditable());
    Refresh();
    if (focusManaged) m_managed->setFocus();
}

bool AdminEditorDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_managed && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        m_logic.DeleteKey();
        Refresh();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void AdminEditorDialog::Refresh() {
    MirrorList(m_managed, m_logic.Managed());
    MirrorList(m_available, m_logic.Available());
    MirrorList(m_given, m_logic.Given());
}

// --- 分级管理员管理 ----------------------------------------------------------

AdminListDialog::AdminListDialog(AdminListLogic& logic, Transport& transport, MessageSink& sink,
                                 const LoginState& login, QWidget* parent)
    : QDialog(parent),
      m_logic(logic),
      m_transport(transport),
      m_sink(sink),
      m_login(login),
      m_admins(new QTreeWidget(this)),
      m_depts(List(this, "adminDepts")) {
    m_admins->setObjectName("admins");
    m_admins->setRootIsDecorated(false);
    m_admins->setUniformRowHeights(true);
    m_admins->setHeaderLabels({"帐号", "姓名", "管理的部门", "可分配的角色"});
    m_admins->header()->setStretchLastSection(true);
    setWindowTitle(Q(text::kAdminListTitle));
    setObjectName("adminListDialog");
    QPushButton* add = Button(this, text::kAddAdmin, "addAdminButton");
    QPushButton* change = Button(this, text::kChangeAdmin, "changeAdminButton");
    QPushButton* remove = Button(this, text::kDeleteAdmin, "deleteAdminButton");
    QPushButton* details = Button(this, "权限详情", "adminDetailButton");
    QPushButton* quit = Button(this, text::kQuit, "quitButton");

    auto* adminGroup = new QGroupBox(Q(text::kAdminListGroup), this);
    (new QVBoxLayout(adminGroup))->addWidget(m_admins);
    auto* deptGroup = new QGroupBox(Q(text::kAdminDeptsGroup), this);
    (new QVBoxLayout(deptGroup))->addWidget(m_depts);
    auto* lists = new QHBoxLayout;
    lists->addWidget(adminGroup, 3);
    lists->addWidget(deptGroup, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(change);
    buttons->addWidget(remove);
    buttons->addWidget(details);
    buttons->addStretch();
    buttons->addWidget(quit);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(lists);
    outer->addLayout(buttons);
    resize(860, 380);

    connect(m_admins, &QTreeWidget::itemSelectionChanged, this, [this] {
        const QList<QTreeWidgetItem*> chosen = m_admins->selectedItems();
        m_logic.SelectAdmin(chosen.isEmpty() ? -1 : m_admins->indexOfTopLevelItem(chosen.first()));
        MirrorList(m_depts, m_logic.Depts());
    });
    connect(m_admins, &QTreeWidget::itemDoubleClicked, this, [this] { OpenEditor(true); });
    connect(add, &QPushButton::clicked, this, [this] { OpenEditor(false); });
    connect(change, &QPushButton::clicked, this, [this] { OpenEditor(true); });
    connect(remove, &QPushButton::clicked, this, [this] {
        m_logic.DeleteSelected();
        Refresh();
    });
    connect(details, &QPushButton::clicked, this, [this] {
        const std::string name = m_logic.SelectedAdmin();
        if (name.empty()) return;
        AdminDetailLogic detail(m_transport, m_sink, name);
        if (!detail.Open()) return;
        AdminDetailDialog(detail, this).exec();
    });
    connect(quit, &QPushButton::clicked, this, &QDialog::reject);

    m_logic.Open();
    Refresh();
}

void AdminListDialog::Refresh() {
    const QSignalBlocker quiet(m_admins);  // the logic's selection is already right
    m_admins->clear();
    const SortedNames& admins = m_logic.Admins();
    for (int i = 0; i < admins.Size(); ++i) {
        const AdminOverview overview = m_logic.Overview(admins.At(i));
        auto* item = new QTreeWidgetItem(
            m_admins, {Q(admins.At(i)), Q(overview.name), Q(overview.depts), Q(overview.roles)});
        // The whole of a long list of departments on pointing at it.
        item->setToolTip(2, Q(overview.depts));
        item->setToolTip(3, Q(overview.roles));
        if (admins.HasSelection() && admins.Selected() == i) m_admins->setCurrentItem(item);
    }
    // Wide enough for the headers and what they hold, a long list of
    // departments cut (its tooltip has it whole).
    static constexpr int kLeast[] = {90, 90, 200}, kMost[] = {200, 200, 360};
    for (int column = 0; column < 3; ++column) {
        m_admins->resizeColumnToContents(column);
        m_admins->setColumnWidth(
            column, std::clamp(m_admins->columnWidth(column), kLeast[column], kMost[column]));
    }
    MirrorList(m_depts, m_logic.Depts());
}

void AdminListDialog::OpenEditor(bool update) {
    std::string name = update ? m_logic.SelectedAdmin() : std::string();
    if (update && name.empty()) return;
    AdminEditorLogic logic(m_transport, m_sink, m_login, std::move(name), update, &m_logic, "");
    AdminEditorDialog editor(logic, this);
    editor.exec();
    Refresh();
}

}  // namespace warden::console
