// The main window "分级权限管理(Socket)": binds the department tree, the
// user list, the information panel, the menus and the record progress to
// MainWindowLogic, and opens the registered dialogs.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QMainWindow>
#include <QPersistentModelIndex>
#include <QTimer>
#include <functional>
#include <map>

#include "console/core/DeptManagers.h"
#include "console/core/DialogRegistry.h"
#include "console/core/LoginState.h"
#include "console/core/MainWindowLogic.h"
#include "console/core/MainWindowObserver.h"

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QTreeView;

namespace warden::console {

class DeptTreeModel;
class UserInfoPanel;
class UserListModel;
class UserSearchBox;
class UserSortModel;

class MainWindow final : public QMainWindow, private MainWindowObserver {
    Q_OBJECT

  public:
    // REQUIRES: `transport`, `sink` and `dialogs` outlive the window.
    MainWindow(Transport& transport, MessageSink& sink, LoginState login,
               const DialogRegistry& dialogs, QWidget* parent = nullptr);
    ~MainWindow() override;

    MainWindowLogic& Logic() { return m_logic; }
    const LoginState& Login() const { return m_login; }
    // The action of a command of the menus (null for one this level lacks).
    QAction* CommandAction(ConsoleCommand command) const;

    // Runs when the user asks to log in again: the menu entry and the status
    // bar's button "重新登录", or OK to the question that an action without
    // a connection asks.
    void SetReloginHandler(std::function<void()> relogin) { m_relogin = std::move(relogin); }
    // Shows, or takes away, that the connection is lost: a note and the
    // button in the status bar and the menu entry.
    void ShowConnectionLost(bool lost);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildMenus();
    void BuildStatusBar();
    // Who is logged in, where, over what, and how many users the list holds.
    void UpdateStatus();
    // True with a connection; otherwise says so, offers to log in again and
    // returns false, so that no action shows an empty answer as data.
    bool EnsureConnected();
    // Offers only what the logged-in administrator may do to `path`.
    void EnableDeptCommands(const std::string& path);
    QAction* MakeCommand(const char* text, ConsoleCommand command);
    void OpenDialog(ConsoleCommand command);
    void LayOut();

    // The tree's selection moved (a click, the arrow keys): the list
    // follows it, from the event loop.
    void OnTreeSelectionChanged();
    void FollowTreeSelection();
    // A click on the department the list already shows reads it again.
    void OnTreeClicked();
    void OnTreeMenu(const QPoint& pos);
    void OnUserClicked();
    void OnUserMenu(const QPoint& pos);
    void OnUserDoubleClicked();
    // The logic's row of the selected user; -1 for none.
    int SelectedUserRow() const;
    void FillSomeRecords();
    // Opens `dept` in the tree and selects `account` in its list (a user
    // chosen in the search box).
    void ShowUser(const std::string& dept, const std::string& account);
    // The super administrator sees who manages the current department.
    void ShowManagers();

    // MainWindowObserver
    void BeginRemoveDeptChildren(const DeptNode& parent, int first, int last) override;
    void EndRemoveDeptChildren() override;
    void BeginInsertDeptChildren(const DeptNode& parent, int first, int last) override;
    void EndInsertDeptChildren() override;
    void BeginMoveDeptChild(const DeptNode& parent, int from, int to) override;
    void EndMoveDeptChild() override;
    void DeptRenamed(const DeptNode& node) override;
    void ExpandDept(const DeptNode& node) override;
    void SelectDept(const DeptNode* node) override;
    void BeginUsersReset() override;
    void EndUsersReset() override;
    void BeginInsertUser(int row) override;
    void EndInsertUser() override;
    void BeginRemoveUser(int row) override;
    void EndRemoveUser() override;
    void UserChanged(int row) override;
    void RecordProgress(int done, int total) override;
    void PanelChanged() override;

    Transport& m_transport;
    MessageSink& m_sink;
    LoginState m_login;
    const DialogRegistry& m_dialogs;
    MainWindowLogic m_logic;
    DeptManagers m_managers;

    DeptTreeModel* m_treeModel;
    UserListModel* m_userModel;
    UserSortModel* m_sortedUsers;
    QTreeView* m_tree;
    QTreeView* m_list;
    UserInfoPanel* m_panel;
    UserSearchBox* m_search;
    QLabel* m_who;
    QLabel* m_userCount;
    QLabel* m_progressText;
    QLabel* m_managersNote;
    QProgressBar* m_progress;
    QLabel* m_lostNote;
    QPushButton* m_reloginButton;
    QAction* m_reloginAction;
    QAction* m_deleteDept;
    QAction* m_deleteUser;
    std::function<void()> m_relogin;
    QMenu* m_deptMenu;
    QMenu* m_userMenu;
    std::map<ConsoleCommand, QAction*> m_commands;
    QPersistentModelIndex m_shownDept;  // the tree item whose users the list shows
    // Above zero while the tree's selection moves because of the logic, not
    // the user: the list must not follow that a second time.
    int m_treeUpdates = 0;
    bool m_pressOnShown = false;    // the mouse went down on the department shown
    bool m_followPending = false;  // FollowTreeSelection is due
    QTimer m_fillTimer;
    bool m_filling = false;
};

}  // namespace warden::console
