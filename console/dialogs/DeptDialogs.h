// The department dialogs "添加部门", "修改部门" and "修改部门位置": each binds
// its controls to its logic class.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QDialog>

#include "console/dialogs/AddDeptLogic.h"
#include "console/dialogs/ChangeDeptLogic.h"
#include "console/dialogs/OrderDeptLogic.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace warden::console {

class DeptPickerView;

class AddDeptDialog final : public QDialog {
    Q_OBJECT

  public:
    // REQUIRES: `logic` outlives the dialog.
    explicit AddDeptDialog(AddDeptLogic& logic, QWidget* parent = nullptr);

  private:
    AddDeptLogic& m_logic;
    QLineEdit* m_name;
    QLabel* m_parent;
};

class ChangeDeptDialog final : public QDialog {
    Q_OBJECT

  public:
    // REQUIRES: `logic` outlives the dialog; Open() is called by the dialog.
    explicit ChangeDeptDialog(ChangeDeptLogic& logic, QWidget* parent = nullptr);

  private:
    void OnSubmit();

    ChangeDeptLogic& m_logic;
    QLineEdit* m_name;
    DeptPickerView* m_tree;
};

class OrderDeptDialog final : public QDialog {
    Q_OBJECT

  public:
    // REQUIRES: `logic` outlives the dialog; Open() is called by the dialog.
    explicit OrderDeptDialog(OrderDeptLogic& logic, QWidget* parent = nullptr);

  private:
    OrderDeptLogic& m_logic;
    QRadioButton* m_last;
    QRadioButton* m_chosen;
    QComboBox* m_siblings;
    QPushButton* m_submit;
};

}  // namespace warden::console
