// The window "导出用户": the department, whether its sub-departments come
// too, the file, and the export's progress with cancel. A thin view over
// UserExportLogic, whose steps it runs from its event loop.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QDialog>
#include <QTimer>
#include <functional>

#include "console/dialogs/UserExportLogic.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace warden::console {

class UserExportDialog final : public QDialog {
    Q_OBJECT

  public:
    // REQUIRES: `logic` outlives the dialog.
    explicit UserExportDialog(UserExportLogic& logic, QWidget* parent = nullptr);

    // Test hook instead of the file dialog: the file to write, or empty for none.
    std::function<QString()> askFile;

  protected:
    // Closing while the export runs cancels it instead.
    void reject() override;

  private:
    void Start();
    void RunSome();
    void ShowState();

    UserExportLogic& m_logic;
    QString m_target;
    QCheckBox* m_subDepts;
    QProgressBar* m_progress;
    QLabel* m_status;
    QPushButton* m_start;
    QPushButton* m_cancel;
    QTimer m_steps;
};

}  // namespace warden::console
