#include "console/core/MainWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QShortcut>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeView>

#include "console/core/ConsoleIcons.h"
#include "console/core/ConsoleTexts.h"
#include "console/core/DeptManagers.h"
#include "console/core/DeptTreeModel.h"
#include "console/core/MainLayout.h"
#include "console/core/StatusText.h"
#include "console/core/UserInfoPanel.h"
#include "console/core/UserListModel.h"
#include "console/core/UserSearchBox.h"
#include "console/core/UserSortModel.h"

namespace warden::console {

namespace {

QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

constexpr int kTreeWidth = 200;
// Records read per turn of the event loop, by time (waits for replies
// included): a turn also repaints the rows filled in it, so the window stays
// still for about twice this; 5 ms fills a 5,000-user department as fast as
// 12 ms did.
constexpr int kFillSliceMs = 5;

}  // namespace

MainWindow::MainWindow(Transport& transport, MessageSink& sink, LoginState login,
                       const DialogRegistry& dialogs, QWidget* parent)
    : QMainWindow(parent),
      m_transport(transport),
      m_sink(sink),
      m_login(std::move(login)),
      m_dialogs(dialogs),
      m_logic(transport, sink, m_login),
      m_managers(transport) {
    setWindowTitle(Q(text::kMainTitle));
    setWindowIcon(ProgramIcon());
    setObjectName("mainWindow");

    auto* area = new QWidget(this);
    area->setObjectName("mainArea");
    setCentralWidget(area);
    area->installEventFilter(this);

    m_treeModel = new DeptTreeModel(m_logic.TreeRoot(), this);
    m_tree = new QTreeView(area);
    m_tree->setObjectName("deptTree");
    m_tree->setModel(m_treeModel);
    m_tree->setHeaderHidden(true);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setExpandsOnDoubleClick(false);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    m_tree->setGeometry(kLayoutMargin, kLayoutMargin, kTreeWidth, 400);
    m_tree->viewport()->installEventFilter(this);
    m_tree->installEventFilter(this);
    connect(m_tree, &QWidget::customContextMenuRequested, this, &MainWindow::OnTreeMenu);
    connect(m_tree->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWindow::OnTreeSelectionChanged);

    m_userModel = new UserListModel(m_logic.Users(), this);
    m_sortedUsers = new UserSortModel(m_logic.Users(), this);
    m_sortedUsers->setSourceModel(m_userModel);
    m_list = new QTreeView(area);
    m_list->setObjectName("userList");
    m_list->setModel(m_sortedUsers);
    // Sorted by the account until a header is clicked; a click again turns
    // the order round.
    m_list->header()->setSortIndicator(kColAccount, Qt::AscendingOrder);
    m_list->setSortingEnabled(true);
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setUniformRowHeights(true);  // thousands of rows stay cheap
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->header()->setStretchLastSection(false);
    for (int column = 0; column < kUserColumnCount; ++column) {
        m_list->setColumnWidth(column, UserListModel::ColumnWidth(column));
    }
    m_list->viewport()->installEventFilter(this);
    connect(m_list, &QWidget::customContextMenuRequested, this, &MainWindow::OnUserMenu);
    connect(m_list, &QAbstractItemView::doubleClicked, this, &MainWindow::OnUserDoubleClicked);
    connect(m_userModel, &QAbstractItemModel::modelReset, this, &MainWindow::UpdateStatus);
    connect(m_userModel, &QAbstractItemModel::rowsInserted, this, &MainWindow::UpdateStatus);
    connect(m_userModel, &QAbstractItemModel::rowsRemoved, this, &MainWindow::UpdateStatus);

    m_panel = new UserInfoPanel(area);

    m_search = new UserSearchBox(transport, area);
    m_search->OnChosen([this](const std::string& dept, const std::string& account) {
        if (EnsureConnected()) ShowUser(dept, account);
    });
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] { m_search->Focus(); });

    BuildStatusBar();

    m_fillTimer.setInterval(0);
    connect(&m_fillTimer, &QTimer::timeout, this, &MainWindow::FillSomeRecords);

    BuildMenus();
    resize(1110, 700);
    // Never so small that the panel, which keeps its size, is cut off.
    AreaSize least = MinimumMainArea({kLayoutMargin, kLayoutMargin, kTreeWidth, 0},
                                     m_panel->width(), m_panel->height());
    // The search box sits above the list and takes its height from it.
    area->setMinimumSize(least.width,
                         least.height + m_search->sizeHint().height() + kLayoutMargin);

    m_logic.SetObserver(this);
    m_logic.ReloadDeptTree();
}

MainWindow::~MainWindow() {
    m_fillTimer.stop();
    m_logic.SetObserver(nullptr);
    // The views read the logic's data through the models: take them down
    // while that data still exists.
    delete m_tree;
    delete m_list;
    delete m_treeModel;
    delete m_userModel;
}

QAction* MainWindow::MakeCommand(const char* text, ConsoleCommand command) {
    auto* action = new QAction(Q(text), this);
    action->setEnabled(m_dialogs.Has(command));
    connect(action, &QAction::triggered, this, [this, command] { OpenDialog(command); });
    m_commands[command] = action;
    return action;
}

QAction* MainWindow::CommandAction(ConsoleCommand command) const {
    auto found = m_commands.find(command);
    return found == m_commands.end() ? nullptr : found->second;
}

void MainWindow::BuildMenus() {
    if (m_login.IsSuper()) {
        QMenu* operations = menuBar()->addMenu(Q(text::kMenuOperations));
        operations->setObjectName("operationsMenu");
        operations->addAction(MakeCommand(text::kManageAdmins, ConsoleCommand::kManageAdmins));
        operations->addSeparator();
        operations->addAction(MakeCommand(text::kChangePassword, ConsoleCommand::kChangePassword));
        operations->addSeparator();
        operations->addAction(MakeCommand(text::kManageRoles, ConsoleCommand::kManageRoles));
        operations->addSeparator();
        operations->addAction(MakeCommand(text::kAuditLog, ConsoleCommand::kAuditLog));
    }
    m_reloginAction = menuBar()->addAction(Q(text::kRelogin));
    m_reloginAction->setObjectName("reloginAction");
    m_reloginAction->setVisible(false);
    connect(m_reloginAction, &QAction::triggered, this, [this] {
        if (m_relogin) m_relogin();
    });
    QAction* exit = menuBar()->addAction(Q(text::kExit));
    exit->setObjectName("exitAction");
    connect(exit, &QAction::triggered, this, &QWidget::close);

    m_deleteDept = new QAction(Q(text::kDeleteDept), this);
    m_deleteDept->setObjectName("deleteDeptAction");
    connect(m_deleteDept, &QAction::triggered, this, [this] {
        if (EnsureConnected()) m_logic.DeleteCurrentDept();
    });
    m_deptMenu = new QMenu(Q(text::kDeptMenu), this);
    m_deptMenu->setObjectName("deptMenu");
    m_deptMenu->addAction(MakeCommand(text::kAddDept, ConsoleCommand::kAddDept));
    m_deptMenu->addAction(m_deleteDept);
    m_deptMenu->addAction(MakeCommand(text::kChangeDept, ConsoleCommand::kChangeDept));
    m_deptMenu->addAction(MakeCommand(text::kOrderDept, ConsoleCommand::kOrderDept));
    m_deptMenu->addSeparator();
    m_deptMenu->addAction(MakeCommand(text::kAddUser, ConsoleCommand::kAddUser));
    m_deptMenu->addSeparator();
    m_deptMenu->addAction(MakeCommand(text::kExportUsers, ConsoleCommand::kExportUsers));
    m_deptMenu->addAction(MakeCommand(text::kImportUsers, ConsoleCommand::kImportUsers));

    m_deleteUser = new QAction(Q(text::kDeleteUser), this);
    m_deleteUser->setObjectName("deleteUserAction");
    connect(m_deleteUser, &QAction::triggered, this, [this] {
        if (EnsureConnected()) m_logic.DeleteCurrentUser();
    });
    if (m_login.IsSuper()) {
        m_userMenu = new QMenu(Q(text::kUserMenuSuper), this);
        m_userMenu->addAction(MakeCommand(text::kEditUser, ConsoleCommand::kEditUser));
        m_userMenu->addAction(m_deleteUser);
        m_userMenu->addSeparator();
        m_userMenu->addAction(MakeCommand(text::kMakeAdmin, ConsoleCommand::kMakeAdmin));
    } else {
        m_userMenu = new QMenu(Q(text::kUserMenuNormal), this);
        m_userMenu->addAction(m_deleteUser);
        m_userMenu->addAction(MakeCommand(text::kEditUser, ConsoleCommand::kEditUser));
    }
    m_userMenu->setObjectName("userMenu");
}

void MainWindow::BuildStatusBar() {
    m_who = new QLabel(this);
    m_who->setObjectName("loginStatus");
    m_userCount = new QLabel(this);
    m_userCount->setObjectName("userCount");
    statusBar()->addWidget(m_who);
    statusBar()->addWidget(m_userCount);
    m_progressText = new QLabel(this);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName("recordProgress");
    m_progress->setMaximumWidth(240);
    statusBar()->addWidget(m_progressText);
    statusBar()->addWidget(m_progress);
    m_progressText->hide();
    m_progress->hide();
    m_managersNote = new QLabel(this);
    m_managersNote->setObjectName("deptManagersNote");
    statusBar()->addWidget(m_managersNote, 1);

    m_lostNote = new QLabel(Q(text::kConnectionLost), this);
    m_lostNote->setObjectName("connectionLostNote");
    m_lostNote->setStyleSheet("color: #c00000;");
    m_reloginButton = new QPushButton(Q(text::kRelogin), this);
    m_reloginButton->setObjectName("reloginButton");
    connect(m_reloginButton, &QPushButton::clicked, this, [this] {
        if (m_relogin) m_relogin();
    });
    statusBar()->addPermanentWidget(m_lostNote);
    statusBar()->addPermanentWidget(m_reloginButton);
    m_lostNote->hide();
    m_reloginButton->hide();
    UpdateStatus();
}

void MainWindow::UpdateStatus() {
    const std::optional<ConnectionInfo> connection = m_transport.Connection();
    m_who->setText(QString::fromStdString(LoginStatusText(m_login, connection)));
    m_who->setToolTip(QString::fromStdString(ConnectionDetailsText(connection)));
    m_userCount->setText(Q(text::kUserCount).arg(m_logic.Users().Size()));
}

void MainWindow::ShowConnectionLost(bool lost) {
    m_lostNote->setVisible(lost);
    m_reloginButton->setVisible(lost);
    m_reloginAction->setVisible(lost);
    UpdateStatus();
}

bool MainWindow::EnsureConnected() {
    if (m_transport.CheckConnection()) return true;
    ShowConnectionLost(true);
    if (m_sink.AskOkCancel(text::kCaptionConfirm, text::kConnectionLostRelogin) && m_relogin) {
        m_relogin();
    }
    return false;
}

void MainWindow::EnableDeptCommands(const std::string& path) {
    const bool restructure = m_logic.MayRestructure(path);
    m_deleteDept->setEnabled(restructure);
    for (ConsoleCommand command : {ConsoleCommand::kChangeDept, ConsoleCommand::kOrderDept}) {
        m_commands[command]->setEnabled(restructure && m_dialogs.Has(command));
    }
}

void MainWindow::OpenDialog(ConsoleCommand command) {
    if (!EnsureConnected()) return;
    DialogContext context{this, m_logic, m_login, m_transport, m_sink, m_panel->RolesText()};
    m_dialogs.Open(command, context);
    // The dialog may have changed who manages what.
    m_managers.Forget();
    ShowManagers();
}

void MainWindow::ShowManagers() {
    const std::string& path = m_logic.CurrentDeptPath();
    if (!m_login.IsSuper() || path.empty() || !m_transport.Connected()) {
        m_managersNote->clear();
        return;
    }
    auto managers = m_managers.Of(path);
    m_managersNote->setText(managers ? Q("管理该部门的分级管理员: ") +
                                           QString::fromStdString(ManagersText(*managers))
                                     : QString());
}

void MainWindow::LayOut() {
    QWidget* area = centralWidget();
    MainLayout layout = ComputeMainLayout(area->width(), area->height(),
                                          {kLayoutMargin, kLayoutMargin, kTreeWidth, 0},
                                          m_panel->width(), m_panel->height());
    auto apply = [](QWidget* widget, const LayoutRect& r) {
        widget->setGeometry(r.x, r.y, r.width, r.height);
    };
    apply(m_tree, layout.tree);
    // The search box takes the top of the list's place.
    const int searchHeight = m_search->sizeHint().height();
    m_search->setGeometry(layout.list.x, layout.list.y, layout.list.width, searchHeight);
    layout.list.y += searchHeight + kLayoutMargin;
    layout.list.height = std::max(0, layout.list.height - searchHeight - kLayoutMargin);
    apply(m_list, layout.list);
    apply(m_panel, layout.panel);
    m_search->PlaceResults(m_list->geometry());
}

void MainWindow::ShowUser(const std::string& dept, const std::string& account) {
    // The logic highlights the department (SelectDept) as it opens it.
    ++m_treeUpdates;
    const DeptNode* node = m_logic.RevealUser(dept, account);
    --m_treeUpdates;
    if (node == nullptr) return;
    if (m_logic.CurrentUserRow() != 0) {
        const QModelIndex row =
            m_sortedUsers->mapFromSource(m_userModel->index(m_logic.CurrentUserRow() - 1, 0));
        m_list->setCurrentIndex(row);
        m_list->scrollTo(row);
        m_list->setFocus();
    }
    ShowManagers();
}

// --- events ----------------------------------------------------------------

void MainWindow::closeEvent(QCloseEvent* event) {
    // Closing from inside a wait would pull the window out from under the
    // exchange that is still running.
    if (m_transport.Busy() || !m_logic.ConfirmExit()) {
        event->ignore();
        return;
    }
    event->accept();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();  // neither closes nor confirms anything here
            return;
        default:
            QMainWindow::keyPressEvent(event);
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == centralWidget() && event->type() == QEvent::Resize) {
        LayOut();
    } else if (watched == m_tree && event->type() == QEvent::FocusIn) {
        m_panel->ClearGenderSelection();
    } else if (event->type() == QEvent::MouseButtonPress && watched == m_tree->viewport()) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        QModelIndex index = m_tree->indexAt(mouse->position().toPoint());
        bool onExpander =
            index.isValid() && mouse->position().x() < m_tree->visualRect(index).left();
        m_pressOnShown = !onExpander && index.isValid() && index == m_shownDept;
    } else if (event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            // Run after the view has handled the click and moved its selection.
            if (watched == m_tree->viewport()) {
                QModelIndex index = m_tree->indexAt(mouse->position().toPoint());
                if (m_pressOnShown && index == m_shownDept) {
                    QMetaObject::invokeMethod(this, &MainWindow::OnTreeClicked,
                                              Qt::QueuedConnection);
                }
                m_pressOnShown = false;
            } else if (watched == m_list->viewport()) {
                QMetaObject::invokeMethod(this, &MainWindow::OnUserClicked, Qt::QueuedConnection);
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::OnTreeSelectionChanged() {
    if (m_treeUpdates > 0 || m_followPending) return;
    // After the view has finished with the key or click that moved it (the
    // reads wait in an event loop of their own), and once for a run of
    // arrow keys: only where the selection comes to rest is read.
    m_followPending = true;
    QTimer::singleShot(0, this, &MainWindow::FollowTreeSelection);
}

void MainWindow::FollowTreeSelection() {
    m_followPending = false;
    QModelIndexList selected = m_tree->selectionModel()->selectedIndexes();
    QModelIndex index = selected.isEmpty() ? QModelIndex() : selected.first();
    if (index == m_shownDept) return;
    if (!EnsureConnected()) {
        // Nothing was loaded: the tree keeps showing which department the
        // list belongs to.
        ++m_treeUpdates;
        m_tree->setCurrentIndex(m_shownDept);
        --m_treeUpdates;
        return;
    }
    m_shownDept = index;
    ++m_treeUpdates;
    m_logic.ClickDept(m_treeModel->NodeAt(index));
    --m_treeUpdates;
    ShowManagers();
}

void MainWindow::OnTreeClicked() {
    if (!m_shownDept.isValid() || !EnsureConnected()) return;
    ++m_treeUpdates;
    m_logic.ClickDept(m_treeModel->NodeAt(m_shownDept));
    --m_treeUpdates;
    ShowManagers();
}

void MainWindow::OnTreeMenu(const QPoint& pos) {
    QModelIndexList selected = m_tree->selectionModel()->selectedIndexes();
    const DeptNode* node = selected.isEmpty() ? nullptr : m_treeModel->NodeAt(selected.first());
    if (!m_logic.SelectDeptForMenu(node)) return;
    EnableDeptCommands(m_logic.CurrentDeptPath());
    m_deptMenu->exec(m_tree->viewport()->mapToGlobal(pos));
}

int MainWindow::SelectedUserRow() const {
    QModelIndexList rows = m_list->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : m_sortedUsers->mapToSource(rows.first()).row();
}

void MainWindow::OnUserClicked() {
    if (EnsureConnected()) m_logic.ClickUser(SelectedUserRow());
}

void MainWindow::OnUserMenu(const QPoint& pos) {
    if (!EnsureConnected()) return;
    if (!m_logic.ClickUser(SelectedUserRow())) return;
    // Another administrator's account is not offered for change.
    const bool mayChange = m_logic.MayChangeUser(m_logic.CurrentUserRow() - 1);
    m_deleteUser->setEnabled(mayChange);
    m_commands[ConsoleCommand::kEditUser]->setEnabled(mayChange &&
                                                      m_dialogs.Has(ConsoleCommand::kEditUser));
    m_userMenu->exec(m_list->viewport()->mapToGlobal(pos));
}

void MainWindow::OnUserDoubleClicked() {
    const int current = m_logic.CurrentUserRow();
    if (current != 0 && m_logic.MayChangeUser(current - 1)) {
        OpenDialog(ConsoleCommand::kEditUser);
    }
}

void MainWindow::FillSomeRecords() {
    if (m_filling || m_transport.Busy()) return;
    m_filling = true;
    QElapsedTimer slice;
    slice.start();
    bool more = true;
    for (qint64 left = kFillSliceMs; more && left > 0; left = kFillSliceMs - slice.elapsed()) {
        more = m_logic.FillNextRecord(static_cast<int>(left));
    }
    m_filling = false;
    if (!more) m_fillTimer.stop();
}

// --- observer --------------------------------------------------------------

// While rows come and go the view may move its selection by itself; that
// is not the user's choice, so the list does not follow it.
void MainWindow::BeginRemoveDeptChildren(const DeptNode& parent, int first, int last) {
    ++m_treeUpdates;
    m_treeModel->BeginRemoveChildren(parent, first, last);
}
void MainWindow::EndRemoveDeptChildren() {
    m_treeModel->EndRemoveChildren();
    --m_treeUpdates;
}
void MainWindow::BeginInsertDeptChildren(const DeptNode& parent, int first, int last) {
    ++m_treeUpdates;
    m_treeModel->BeginInsertChildren(parent, first, last);
}
void MainWindow::EndInsertDeptChildren() {
    m_treeModel->EndInsertChildren();
    --m_treeUpdates;
}
void MainWindow::BeginMoveDeptChild(const DeptNode& parent, int from, int to) {
    ++m_treeUpdates;
    m_treeModel->BeginMoveChild(parent, from, to);
}
void MainWindow::EndMoveDeptChild() {
    m_treeModel->EndMoveChild();
    --m_treeUpdates;
}
void MainWindow::DeptRenamed(const DeptNode& node) {
    m_treeModel->NodeChanged(node);
}
void MainWindow::ExpandDept(const DeptNode& node) {
    m_tree->expand(m_treeModel->IndexOf(node));
}
void MainWindow::SelectDept(const DeptNode* node) {
    ++m_treeUpdates;
    m_shownDept = node != nullptr ? m_treeModel->IndexOf(*node) : QModelIndex();
    if (node != nullptr) {
        m_tree->setCurrentIndex(m_shownDept);
        m_tree->scrollTo(m_shownDept);
    } else {
        m_tree->selectionModel()->clear();
    }
    --m_treeUpdates;
}
void MainWindow::BeginUsersReset() {
    m_userModel->BeginReset();
}
void MainWindow::EndUsersReset() {
    m_userModel->EndReset();
}
void MainWindow::BeginInsertUser(int row) {
    m_userModel->BeginInsert(row);
}
void MainWindow::EndInsertUser() {
    m_userModel->EndInsert();
}
void MainWindow::BeginRemoveUser(int row) {
    m_userModel->BeginRemove(row);
}
void MainWindow::EndRemoveUser() {
    m_userModel->EndRemove();
}
void MainWindow::UserChanged(int row) {
    m_userModel->RowChanged(row);
}
void MainWindow::PanelChanged() {
    m_panel->Show(m_logic.Panel());
}

void MainWindow::RecordProgress(int done, int total) {
    if (total > 0 && done < total) {
        m_progressText->setText(Q(text::kLoadingRecords) + QString(" %1/%2").arg(done).arg(total));
        m_progress->setRange(0, total);
        m_progress->setValue(done);
        m_progressText->show();
        m_progress->show();
        if (!m_fillTimer.isActive()) m_fillTimer.start();
    } else {
        m_progressText->hide();
        m_progress->hide();
        m_fillTimer.stop();
    }
}

}  // namespace warden::console
