#include "console/core/UserListModel.h"

#include <QBrush>
#include <QColor>

#include "console/core/ConsoleIcons.h"

namespace warden::console {

namespace {
const char* const kHeadings[kUserColumnCount] = {"帐号", "姓名", "VEX号码", "性别", "手机",
                                                 "邮件", "电话", "职务",    "权值"};
}

UserListModel::UserListModel(const UserList& users, QObject* parent)
    : QAbstractTableModel(parent), m_users(users) {}

int UserListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_users.Size();
}

int UserListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kUserColumnCount;
}

int UserListModel::ColumnWidth(int column) {
    // An e-mail address is the longest field a row usually holds: it gets
    // room to show whole; short fields give theirs.
    static constexpr int kWidths[kUserColumnCount] = {100, 80, 80, 44, 105, 200, 105, 90, 44};
    return column >= 0 && column < kUserColumnCount ? kWidths[column] : 100;
}

QVariant UserListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_users.Size()) return {};
    const UserRow& row = m_users.At(index.row());
    switch (role) {
        case Qt::DisplayRole:
            return QString::fromStdString(row.cells[static_cast<size_t>(index.column())]);
        case Qt::DecorationRole:
            if (index.column() == kColAccount) {
                static const QIcon icon = UserIcon();
                return icon;
            }
            return {};
        case Qt::ForegroundRole:
            if (!row.recordLoaded) return QBrush(QColor(128, 128, 128));
            return {};
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        default:
            return {};
    }
}

QVariant UserListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kUserColumnCount) return {};
    if (role == Qt::DisplayRole) return QString::fromUtf8(kHeadings[section]);
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

void UserListModel::RowChanged(int row) {
    emit dataChanged(index(row, 0), index(row, kUserColumnCount - 1));
}

}  // namespace warden::console
