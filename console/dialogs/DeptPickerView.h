// The tree view of a DeptPicker: shows its departments with the console's
// icons and hands every click to the picker.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QTreeView>
#include <functional>
#include <string>

#include "console/dialogs/DeptPicker.h"

namespace warden::console {

class DeptTreeModel;

class DeptPickerView final : public QTreeView, private DeptPickerObserver {
    Q_OBJECT

  public:
    // Called after each click with the chosen path ("" for none).
    using ChosenHandler = std::function<void(const std::string& path)>;

    // REQUIRES: `picker` outlives the view.
    explicit DeptPickerView(DeptPicker& picker, QWidget* parent = nullptr);
    ~DeptPickerView() override;

    void SetChosenHandler(ChosenHandler handler) { m_onChosen = std::move(handler); }
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
    ChosenHandler m_onChosen;
};

}  // namespace warden::console
