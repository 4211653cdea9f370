// Reading and changing users, alone or inside a unit of work.
//
// Outside a unit every change is read, applied and written at once. Inside
// one (opened by the thread that makes the calls) the users it touches are
// read once and changed in memory: the thread's own calls see the changes,
// nobody else does, and Commit writes each user with WriteUser (one add or
// one modify, the move of his entry and his password). A unit dropped
// without Commit writes nothing. Departments and roles themselves are not
// changed inside a unit: such a call fails with kInvalidArgument.
//
// What the directory cannot give: other threads' writes do not wait for a
// unit, and a unit touching several users writes them one after another.
//
// Thread-safe.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "directory/ImSdk.h"
#include "ldapdir/LdapTree.h"
#include "ldapdir/UserState.h"

namespace warden::ldapdir {

class UserStore {
  public:
    explicit UserStore(LdapTree& tree) : m_tree(tree) {}

    bool Exists(const std::string& account);
    // Throws kNotFound for a user the directory does not have.
    UserState Get(const std::string& account);
    // Applies `change` to the user and writes him (at Commit inside a unit).
    void Change(const std::string& account, const std::function<void(UserState&)>& change);
    // A new user with the IM number `number` (0: the next free one) holding
    // the role "User". Throws kAlreadyExists.
    void Create(const std::string& account, int number);
    void Delete(const std::string& account);

    // Throws kInvalidArgument inside a unit: only users' changes can wait
    // for its commit.
    void RequireNoUnit(const char* what) const;

    std::unique_ptr<ImUnitOfWork> Begin();

  private:
    class Unit;
    struct Pending {
        std::optional<UserState> before;  // nullopt: added by the unit
        UserState after;
        bool deleted = false;
    };

    // The unit the calling thread holds on this store, if any.
    Unit* CurrentUnit() const;
    // The user as the directory has him; nullopt when it has none.
    std::optional<UserState> Load(const std::string& account);
    // The unit's copy of the user, read when first touched.
    Pending* Touch(Unit& unit, const std::string& account);

    LdapTree& m_tree;
};

}  // namespace warden::ldapdir
