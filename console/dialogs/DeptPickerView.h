// The tree view of a DeptPicker: shows its departments with the console's
// icons and hands every click to the picker.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QTreeView>
#include <functional>

#include "console/dialogs/DeptPicker.h"

namespace warden::console {

class DeptTreeModel;

class DeptPickerView final : public QTreeView, private DeptPickerObserver {
    Q_OBJECT

  public:
    // Handles a click, given the item selected after it (null for none).
    using ClickHandler = std::function<void(const DeptNode* selected)>;

    // REQUIRES: `picker` outlives the view.
    explicit DeptPickerView(DeptPicker& picker, QWidget* parent = nullptr);
    ~DeptPickerView() override;

    // By default a click goes to the picker's Click; a dialog that keeps the
    // chosen department itself puts its own handler here.
    void SetClickHandler(ClickHandler handler) { m_onClick = std::move(handler); }
    // The selected department; null for none.
    const DeptNode* SelectedNode() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void OnClicked();

    // DeptPickerObserver
    void BeginTreeReset() override;
    void EndTreeReset() override;
    void BeginAppendDeptChildren(const DeptNode& parent, int first, int last) override;
    void EndAppendDeptChildren() override;
    void ExpandDept(const DeptNode& node) override;

    DeptPicker& m_picker;
    DeptTreeModel* m_model;
    ClickHandler m_onClick;
};

}  // namespace warden::console
