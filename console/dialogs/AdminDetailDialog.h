// "权限详情" of one second-level administrator: binds its controls to
// AdminDetailLogic. The scope tree shows his departments (gone ones marked),
// each opening onto what lies below it.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QDialog>

#include "console/dialogs/AdminDetailLogic.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace warden::console {

class AdminDetailDialog final : public QDialog {
    Q_OBJECT

  public:
    // REQUIRES: `logic` was opened and outlives the dialog.
    explicit AdminDetailDialog(AdminDetailLogic& logic, QWidget* parent = nullptr);

  private:
    void FillChildren(QTreeWidgetItem* item);

    AdminDetailLogic& m_logic;
    QTreeWidget* m_scope;
    QComboBox* m_operation;
    QLineEdit* m_target;
    QLabel* m_answer;
};

}  // namespace warden::console
