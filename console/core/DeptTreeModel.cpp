#include "console/core/DeptTreeModel.h"

#include "console/core/ConsoleIcons.h"

namespace warden::console {

DeptTreeModel::DeptTreeModel(const DeptNode& root, QObject* parent)
    : QAbstractItemModel(parent), m_root(root) {}

const DeptNode* DeptTreeModel::NodeAt(const QModelIndex& index) const {
    return index.isValid() ? static_cast<const DeptNode*>(index.internalPointer()) : nullptr;
}

QModelIndex DeptTreeModel::IndexOf(const DeptNode& node) const {
    if (&node == &m_root || node.parent == nullptr) return {};
    return createIndex(node.Row(), 0, const_cast<DeptNode*>(&node));
}

QModelIndex DeptTreeModel::index(int row, int column, const QModelIndex& parent) const {
    const DeptNode* owner = parent.isValid() ? NodeAt(parent) : &m_root;
    if (column != 0 || row < 0 || row >= static_cast<int>(owner->children.size())) return {};
    return createIndex(row, 0, owner->children[static_cast<size_t>(row)].get());
}

QModelIndex DeptTreeModel::parent(const QModelIndex& child) const {
    const DeptNode* node = NodeAt(child);
    if (node == nullptr || node->parent == nullptr) return {};
    return IndexOf(*node->parent);
}

int DeptTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0) return 0;
    const DeptNode* owner = parent.isValid() ? NodeAt(parent) : &m_root;
    return static_cast<int>(owner->children.size());
}

int DeptTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant DeptTreeModel::data(const QModelIndex& index, int role) const {
    const DeptNode* node = NodeAt(index);
    if (node == nullptr) return {};
    switch (role) {
        case Qt::DisplayRole:
            return QString::fromStdString(node->text);
        case Qt::DecorationRole: {
            static const QIcon icon = DepartmentIcon();
            return icon;
        }
        case Qt::ToolTipRole:
        case Qt::UserRole:
            return QString::fromStdString(node->path);
        default:
            return {};
    }
}

void DeptTreeModel::BeginRemoveChildren(const DeptNode& parent, int first, int last) {
    beginRemoveRows(IndexOf(parent), first, last);
}

void DeptTreeModel::BeginInsertChildren(const DeptNode& parent, int first, int last) {
    beginInsertRows(IndexOf(parent), first, last);
}

void DeptTreeModel::BeginMoveChild(const DeptNode& parent, int from, int to) {
    const QModelIndex index = IndexOf(parent);
    // Qt counts the destination before the move has taken the row out.
    beginMoveRows(index, from, from, index, to > from ? to + 1 : to);
}

void DeptTreeModel::NodeChanged(const DeptNode& node) {
    const QModelIndex index = IndexOf(node);
    emit dataChanged(index, index);
}

}  // namespace warden::console
