#include "console/dialogs/AdminDetailDialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "console/core/DeptTree.h"

namespace warden::console {

namespace {

QString Q(const std::string& utf8) {
    return QString::fromStdString(utf8);
}
QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

constexpr int kPathRole = Qt::UserRole;
constexpr int kLoadedRole = Qt::UserRole + 1;

QString LevelText(const std::string& level) {
    if (level == "second") return Q("分级管理员");
    if (level == "super") return Q("超级管理员");
    if (level == "user") return Q("目录用户(没有管理员权限)");
    return Q("目录中没有该账户");
}

}  // namespace

AdminDetailDialog::AdminDetailDialog(AdminDetailLogic& logic, QWidget* parent)
    : QDialog(parent), m_logic(logic) {
    setObjectName("adminDetailDialog");
    setWindowTitle(Q("权限详情 - ") + Q(logic.Account()));
    const AdminEffective& e = logic.Effective();

    auto* who = new QLabel(Q(e.account) + "  " + LevelText(e.level), this);
    who->setObjectName("adminLevel");

    m_scope = new QTreeWidget(this);
    m_scope->setObjectName("adminScope");
    m_scope->setHeaderLabels({Q("管理范围"), Q("状态")});
    for (const auto& dept : e.depts) {
        auto* item = new QTreeWidgetItem({Q(dept.name), Q(AdminDetailLogic::StateText(dept.state))});
        item->setData(0, kPathRole, Q(dept.name));
        if (dept.state == entry_state::kOk) {
            item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        } else {
            item->setForeground(0, Qt::gray);
            item->setForeground(1, Qt::red);
        }
        m_scope->addTopLevelItem(item);
    }
    m_scope->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    connect(m_scope, &QTreeWidget::itemExpanded, this, &AdminDetailDialog::FillChildren);

    auto* roles = new QListWidget(this);
    roles->setObjectName("adminRoles");
    for (const auto& role : e.roles) {
        auto* item = new QListWidgetItem(
            Q(role.name) + (role.state == entry_state::kOk
                                ? QString()
                                : "  (" + Q(AdminDetailLogic::StateText(role.state)) + ")"),
            roles);
        if (role.state != entry_state::kOk) item->setForeground(Qt::red);
    }

    auto* problems = new QListWidget(this);
    problems->setObjectName("adminProblems");
    for (const std::string& problem : logic.Problems()) {
        new QListWidgetItem(Q(problem), problems);
    }
    if (problems->count() == 0) new QListWidgetItem(Q("没有问题"), problems);

    auto* needs = new QTreeWidget(this);
    needs->setObjectName("adminNeeds");
    needs->setHeaderLabels({Q("可以做的"), Q("对应的请求")});
    needs->setRootIsDecorated(false);
    needs->setWordWrap(true);
    for (const auto& need : e.needs) {
        QStringList requests;
        for (const std::string& r : need.requests) requests << Q(r);
        auto* item = new QTreeWidgetItem({Q(need.covers), requests.join(", ")});
        item->setToolTip(0, Q(need.covers));
        item->setToolTip(1, requests.join("\n"));
        needs->addTopLevelItem(item);
    }
    needs->setColumnWidth(0, 560);  // the coverage texts; the requests take the rest

    auto* trial = new QGroupBox(Q("试一试"), this);
    m_operation = new QComboBox(trial);
    m_operation->setObjectName("trialOperation");
    for (const TrialOperation& op : kTrialOperations) m_operation->addItem(Q(op.label));
    m_target = new QLineEdit(trial);
    m_target->setObjectName("trialTarget");
    m_target->setPlaceholderText(Q("部门路径 (\\销售部\\华东区) 或账号"));
    for (const auto& dept : e.depts) {
        if (dept.state == entry_state::kOk) {
            m_target->setText(Q(dept.name));
            break;
        }
    }
    auto* check = new QPushButton(Q("检查"), trial);
    check->setObjectName("trialButton");
    m_answer = new QLabel(trial);
    m_answer->setObjectName("trialAnswer");
    m_answer->setWordWrap(true);
    auto* trialRow = new QHBoxLayout;
    trialRow->addWidget(m_operation);
    trialRow->addWidget(m_target, 1);
    trialRow->addWidget(check);
    auto* trialLayout = new QVBoxLayout(trial);
    trialLayout->addLayout(trialRow);
    trialLayout->addWidget(m_answer);
    auto run = [this] {
        const QString answer = Q(m_logic.Try(static_cast<size_t>(m_operation->currentIndex()),
                                             m_target->text().trimmed().toStdString()));
        m_answer->setText(answer);
        m_answer->setStyleSheet(answer == Q("允许") ? "color: darkgreen" : "color: darkred");
    };
    connect(check, &QPushButton::clicked, this, run);
    connect(m_target, &QLineEdit::returnPressed, this, run);

    auto* close = new QPushButton(Q("关闭"), this);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(Q("管理部门"), this));
    left->addWidget(m_scope, 3);
    left->addWidget(new QLabel(Q("可分配的角色"), this));
    left->addWidget(roles, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(Q("问题"), this));
    right->addWidget(problems, 1);
    right->addWidget(trial);
    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(who);
    outer->addLayout(columns, 3);
    outer->addWidget(new QLabel(Q("各类操作的范围"), this));
    outer->addWidget(needs, 2);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(close);
    outer->addLayout(bottom);
    resize(960, 680);
}

void AdminDetailDialog::FillChildren(QTreeWidgetItem* item) {
    if (item->data(0, kLoadedRole).toBool()) return;
    item->setData(0, kLoadedRole, true);
    const std::string path = item->data(0, kPathRole).toString().toStdString();
    for (const std::string& name : m_logic.ChildDepts(path)) {
        const std::string childPath = ChildPath(path, name);
        auto* child = new QTreeWidgetItem(item, {Q(name)});
        child->setData(0, kPathRole, Q(childPath));
        child->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    }
    if (item->childCount() == 0) {
        item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    }
}

}  // namespace warden::console
