// The user list of MainWindowLogic as a Qt table model: nine columns with
// their headings; a row whose record has not arrived yet shows its account
// in grey.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QAbstractTableModel>

#include "console/core/UserList.h"

namespace warden::console {

class UserListModel final : public QAbstractTableModel {
    Q_OBJECT

  public:
    explicit UserListModel(const UserList& users, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent) const override;
    int columnCount(const QModelIndex& parent) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Column widths in pixels, in column order.
    static int ColumnWidth(int column);

    void BeginReset() { beginResetModel(); }
    void EndReset() { endResetModel(); }
    void BeginInsert(int row) { beginInsertRows({}, row, row); }
    void EndInsert() { endInsertRows(); }
    void BeginRemove(int row) { beginRemoveRows({}, row, row); }
    void EndRemove() { endRemoveRows(); }
    void RowChanged(int row);

  private:
    const UserList& m_users;
};

}  // namespace warden::console
