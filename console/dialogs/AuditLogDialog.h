// The window "操作日志": filter fields, the trail in a list that fills page
// by page from the event loop, copy of the selected rows, and an export of
// every entry of the search with progress and cancel. A thin view over
// AuditLogLogic and AuditExport.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <functional>

#include "console/dialogs/AuditExport.h"
#include "console/dialogs/AuditLogLogic.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressDialog;
class QTreeView;

namespace warden::console {

class AuditLogModel;

class AuditLogDialog final : public QDialog {
    Q_OBJECT

  public:
    // REQUIRES: `logic` and `exporter` outlive the dialog. Shows the newest
    // entries at once.
    AuditLogDialog(AuditLogLogic& logic, AuditExport& exporter, QWidget* parent = nullptr);
    ~AuditLogDialog() override;

    // Test hook instead of the file dialog: given its title, the file to
    // export to, or empty for none.
    std::function<QString(const QString& title)> askExportFile;

  private:
    void Search();
    void LoadSome();
    void UpdateStatus();
    std::vector<int> SelectedRows() const;
    void Copy();
    void Export();
    void ExportSome();
    void EndExport();

    AuditLogLogic& m_logic;
    AuditExport& m_export;
    AuditLogModel* m_model;
    QLineEdit* m_from;
    QLineEdit* m_to;
    QLineEdit* m_account;
    QLineEdit* m_target;
    QComboBox* m_operation;
    QComboBox* m_outcome;
    QTreeView* m_view;
    QLabel* m_status;
    QTimer m_pages;
    QTimer m_exportSteps;
    QPointer<QProgressDialog> m_progress;
    QString m_exportFile;
    bool m_sized = false;  // the columns have been fitted to the first rows
};

}  // namespace warden::console
