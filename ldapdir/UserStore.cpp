#include "ldapdir/UserStore.h"

#include "directory/BuiltIns.h"
#include "ldapdir/Dn.h"
#include "protocol/SplitList.h"

namespace warden::ldapdir {

namespace {

[[noreturn]] void NoSuchUser(const std::string& account) {
    throw ImError(im_code::kNotFound, kErrorSource, "user \"" + account + "\" does not exist");
}

}  // namespace

class UserStore::Unit final : public ImUnitOfWork {
  public:
    explicit Unit(UserStore& store) : m_store(store) {
        if (t_unit) {
            throw ImError(im_code::kFail, kErrorSource, "the thread already holds a unit of work");
        }
        t_unit = this;
    }
    ~Unit() override {
        if (t_unit == this) t_unit = nullptr;
    }

    void Commit() override {
        if (t_unit != this) throw ImError(im_code::kFail, kErrorSource, "the unit has ended");
        // Ended first: the writes below are the unit's, not new steps of it.
        t_unit = nullptr;
        for (const std::string& key : m_order) {
            Entry& pending = m_users.at(key);
            if (pending.deleted) {
                if (pending.before) {
                    m_store.m_tree.Service().Run(
                        [&](LdapConnection& ldap) { ldap.Delete(pending.before->dn); });
                }
            } else if (!pending.before || pending.changed) {
                WriteUser(m_store.m_tree, pending.before, pending.after);
            }
        }
    }

    struct Entry : Pending {
        bool changed = false;
    };

    UserStore& m_store;
    std::map<std::string, Entry> m_users;  // by account in ASCII lower case
    std::vector<std::string> m_order;      // keys in the order first touched

    inline static thread_local Unit* t_unit = nullptr;
};

UserStore::Unit* UserStore::CurrentUnit() const {
    Unit* unit = Unit::t_unit;
    return unit && &unit->m_store == this ? unit : nullptr;
}

std::unique_ptr<ImUnitOfWork> UserStore::Begin() {
    return std::make_unique<Unit>(*this);
}

void UserStore::RequireNoUnit(const char* what) const {
    if (CurrentUnit()) {
        throw ImError(im_code::kInvalidArgument, kErrorSource,
                      std::string(what) + " cannot wait for a unit of work on LDAP");
    }
}

std::optional<UserState> UserStore::Load(const std::string& account) {
    m_tree.Ready();
    auto entry = m_tree.FindUser(account, UserAttributes());
    if (!entry) return std::nullopt;
    return ReadUser(*entry, m_tree);
}

UserStore::Pending* UserStore::Touch(Unit& unit, const std::string& account) {
    const std::string key = LowerAscii(account);
    auto it = unit.m_users.find(key);
    if (it == unit.m_users.end()) {
        std::optional<UserState> loaded = Load(account);
        if (!loaded) return nullptr;
        Unit::Entry entry;
        entry.before = loaded;
        entry.after = *loaded;
        it = unit.m_users.emplace(key, std::move(entry)).first;
        unit.m_order.push_back(key);
    }
    return it->second.deleted ? nullptr : &it->second;
}

bool UserStore::Exists(const std::string& account) {
    if (Unit* unit = CurrentUnit()) {
        auto it = unit->m_users.find(LowerAscii(account));
        if (it != unit->m_users.end()) return !it->second.deleted;
    }
    m_tree.Ready();
    return m_tree.FindUser(account, {}).has_value();
}

UserState UserStore::Get(const std::string& account) {
    if (Unit* unit = CurrentUnit()) {
        Pending* pending = Touch(*unit, account);
        if (!pending) NoSuchUser(account);
        return pending->after;
    }
    std::optional<UserState> user = Load(account);
    if (!user) NoSuchUser(account);
    return *user;
}

void UserStore::Change(const std::string& account, const std::function<void(UserState&)>& change) {
    if (Unit* unit = CurrentUnit()) {
        Pending* pending = Touch(*unit, account);
        if (!pending) NoSuchUser(account);
        // A step that fails changes nothing, as the steps of a unit must.
        UserState changed = pending->after;
        change(changed);
        pending->after = std::move(changed);
        static_cast<Unit::Entry*>(pending)->changed = true;
        return;
    }
    std::optional<UserState> before = Load(account);
    if (!before) NoSuchUser(account);
    UserState after = *before;
    change(after);
    WriteUser(m_tree, before, after);
}

void UserStore::Create(const std::string& account, int number) {
    if (Exists(account)) {
        throw ImError(im_code::kAlreadyExists, kErrorSource, "user \"" + account + "\" exists");
    }
    const RoleInfo everyone = m_tree.RequireRole(std::string(kRoleUser));
    UserState user = NewUser(account, m_tree.TakeUin(number), {everyone.uuid});
    if (Unit* unit = CurrentUnit()) {
        const std::string key = LowerAscii(account);
        Unit::Entry entry;
        entry.after = std::move(user);
        // A user deleted earlier in the unit is replaced: his entry goes first.
        if (auto it = unit->m_users.find(key); it != unit->m_users.end()) {
            entry.before = it->second.before;
            entry.changed = true;
            it->second = std::move(entry);
            return;
        }
        unit->m_users.emplace(key, std::move(entry));
        unit->m_order.push_back(key);
        return;
    }
    WriteUser(m_tree, std::nullopt, user);
}

void UserStore::Delete(const std::string& account) {
    if (Unit* unit = CurrentUnit()) {
        Pending* pending = Touch(*unit, account);
        if (!pending) NoSuchUser(account);
        pending->deleted = true;
        return;
    }
    std::optional<UserState> user = Load(account);
    if (!user) NoSuchUser(account);
    m_tree.Service().Run([&](LdapConnection& ldap) { ldap.Delete(user->dn); });
}

}  // namespace warden::ldapdir
