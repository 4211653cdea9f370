// The department tree of MainWindowLogic as a Qt item model. The logic owns
// the nodes; each index points at its node, which carries its own path
// (also given under Qt::UserRole).
//
// Thread-safety: GUI thread only.
#pragma once

#include <QAbstractItemModel>

#include "console/core/DeptTree.h"

namespace warden::console {

class DeptTreeModel final : public QAbstractItemModel {
    Q_OBJECT

  public:
    explicit DeptTreeModel(const DeptNode& root, QObject* parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex& parent) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent) const override;
    int columnCount(const QModelIndex& parent) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // The node of `index`; null for an invalid index.
    const DeptNode* NodeAt(const QModelIndex& index) const;
    QModelIndex IndexOf(const DeptNode& node) const;

    // The logic's changes, forwarded by the window or the dialogs' pickers.
    void BeginReset() { beginResetModel(); }
    void EndReset() { endResetModel(); }
    void BeginRemoveChildren(const DeptNode& parent, int first, int last);
    void EndRemoveChildren() { endRemoveRows(); }
    void BeginInsertChildren(const DeptNode& parent, int first, int last);
    void EndInsertChildren() { endInsertRows(); }
    void BeginMoveChild(const DeptNode& parent, int from, int to);
    void EndMoveChild() { endMoveRows(); }
    void NodeChanged(const DeptNode& node);

  private:
    const DeptNode& m_root;
};

}  // namespace warden::console
