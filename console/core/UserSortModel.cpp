#include "console/core/UserSortModel.h"

namespace warden::console {

UserSortModel::UserSortModel(const UserList& users, QObject* parent)
    : QSortFilterProxyModel(parent), m_users(users) {}

bool UserSortModel::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    // The rows themselves, not their display texts: no text is converted
    // for each of the many comparisons a sort of thousands of rows makes.
    return UserRowLess(m_users.At(left.row()), m_users.At(right.row()), left.column());
}

}  // namespace warden::console
