// The window "导入用户": the rows of a file of users with their marks from
// the check, the choice for accounts that exist, then the import with a
// progress bar and cancel, and the per-row report, which can be saved. A thin
// view over UserImportLogic, whose steps it runs from its event loop.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QDialog>
#include <QTimer>
#include <functional>

#include "console/dialogs/UserImportLogic.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTreeView;

namespace warden::console {

class ImportRowsModel;

class UserImportDialog final : public QDialog {
    Q_OBJECT

  public:
    // REQUIRES: `logic` outlives the dialog.
    explicit UserImportDialog(UserImportLogic& logic, QWidget* parent = nullptr);

    // Asks for a file and starts its check. False when none was chosen or
    // it could not be read (the logic has said why).
    bool ChooseFile();

    // Test hooks instead of the file dialogs: the file to read or to write
    // the report to, or empty for none.
    std::function<QString()> askImportFile;
    std::function<QString()> askReportFile;

  protected:
    // Closing while the check or the import runs cancels it instead.
    void reject() override;

  private:
    void RunSome();
    void StartImport();
    void SaveReport();
    void ShowState();

    UserImportLogic& m_logic;
    ImportRowsModel* m_model;
    QLabel* m_file;
    QLabel* m_summary;
    QTreeView* m_view;
    QRadioButton* m_skip;
    QRadioButton* m_update;
    QProgressBar* m_progress;
    QLabel* m_progressText;
    QPushButton* m_start;
    QPushButton* m_cancel;
    QPushButton* m_report;
    QTimer m_steps;
};

}  // namespace warden::console
