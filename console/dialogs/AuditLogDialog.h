// The window "操作日志": filter fields, the trail in a list that fills page
// by page from the event loop, and copy / export as CSV. A thin view over
// AuditLogLogic.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QDialog>
#include <QTimer>
#include <functional>

#include "console/dialogs/AuditLogLogic.h"

class QLabel;
class QLineEdit;
class QTreeView;

namespace warden::console {

class AuditLogModel;

class AuditLogDialog final : public QDialog {
    Q_OBJECT

  public:
    // REQUIRES: `logic` outlives the dialog. Shows the newest entries at once.
    explicit AuditLogDialog(AuditLogLogic& logic, QWidget* parent = nullptr);
    ~AuditLogDialog() override;

    // Test hook instead of the file dialog: the file to export to, or empty
    // for none.
    std::function<QString()> askExportFile;

  private:
    void Search();
    void LoadSome();
    void UpdateStatus();
    std::vector<int> SelectedRows() const;
    void Copy();
    void Export();

    AuditLogLogic& m_logic;
    AuditLogModel* m_model;
    QLineEdit* m_from;
    QLineEdit* m_to;
    QLineEdit* m_account;
    QLineEdit* m_target;
    QTreeView* m_view;
    QLabel* m_status;
    QTimer m_pages;
};

}  // namespace warden::console
