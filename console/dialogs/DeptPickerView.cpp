#include "console/dialogs/DeptPickerView.h"

#include <QMouseEvent>

#include "console/core/DeptTreeModel.h"

namespace warden::console {

DeptPickerView::DeptPickerView(DeptPicker& picker, QWidget* parent)
    : QTreeView(parent), m_picker(picker), m_model(new DeptTreeModel(picker.Root(), this)) {
    setModel(m_model);
    setHeaderHidden(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setExpandsOnDoubleClick(false);
    viewport()->installEventFilter(this);
    m_picker.SetObserver(this);
}

DeptPickerView::~DeptPickerView() {
    m_picker.SetObserver(nullptr);
    setModel(nullptr);
}

const DeptNode* DeptPickerView::SelectedNode() const {
    QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? nullptr : m_model->NodeAt(selected.first());
}

bool DeptPickerView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == viewport() && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        QModelIndex index = indexAt(mouse->position().toPoint());
        bool onExpander = index.isValid() && mouse->position().x() < visualRect(index).left();
        if (mouse->button() == Qt::LeftButton && !onExpander) {
            // After the view has moved its selection.
            QMetaObject::invokeMethod(this, &DeptPickerView::OnClicked, Qt::QueuedConnection);
        }
    }
    return QTreeView::eventFilter(watched, event);
}

void DeptPickerView::OnClicked() {
    if (m_onClick) {
        m_onClick(SelectedNode());
    } else {
        m_picker.Click(SelectedNode());
    }
}

void DeptPickerView::BeginTreeReset() {
    m_model->BeginReset();
}
void DeptPickerView::EndTreeReset() {
    m_model->EndReset();
}
void DeptPickerView::BeginAppendDeptChildren(const DeptNode& parent, int first, int last) {
    m_model->BeginInsertChildren(parent, first, last);
}
void DeptPickerView::EndAppendDeptChildren() {
    m_model->EndInsertChildren();
}
void DeptPickerView::ExpandDept(const DeptNode& node) {
    expand(m_model->IndexOf(node));
}

}  // namespace warden::console
