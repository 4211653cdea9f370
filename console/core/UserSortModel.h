// The user list as the view shows it: sorted by the column whose header was
// clicked (UserRowLess), or in the list's own order until one is. The
// logic's row numbers are the source rows; the window maps between them.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QSortFilterProxyModel>

#include "console/core/UserList.h"

namespace warden::console {

class UserSortModel final : public QSortFilterProxyModel {
    Q_OBJECT

  public:
    // REQUIRES: `users` outlives the model and is what its source shows.
    explicit UserSortModel(const UserList& users, QObject* parent = nullptr);

  protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

  private:
    const UserList& m_users;
};

}  // namespace warden::console
