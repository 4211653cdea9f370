#include "tests/support/FakeIm.h"

#include <algorithm>

#include "directory/ImError.h"
#include "directory/XmlText.h"
#include "protocol/SplitList.h"

namespace warden::test {

namespace {

std::string NameList(const char* list, const char* element, const std::vector<std::string>& names) {
    std::string xml = std::string("<") + list + ">";
    for (const std::string& name : names) {
        xml += std::string("<") + element + " Name=\"" + XmlEscaped(name) + "\"/>";
    }
    return xml + "</" + list + ">";
}

std::string RoleList(const std::vector<std::string>& names) {
    std::string xml = "<VEXSRoleList>";
    for (const std::string& name : names)
        xml += "<Item RoleName=\"" + XmlEscaped(name) + "\"></Item>";
    return xml + "</VEXSRoleList>";
}

const char* const kTrue = "true";
const char* const kFalse = "false";

}  // namespace

FakeIm::FakeIm() {
    m_roles.push_back({"User", "普通用户", {}, {}});
    m_roles.push_back({"管理员", "系统管理员", {}, {}});
    m_rights = {
        {"RIGHT_INNER_SEND_SMS", {"发送短信", true}},
        {"RIGHT_INNER_LAUNCH_CONVERSATION_N", {"发起多人会话", true}},
        {"RIGHT_INNER_SEND_FILE_N(M)", {"发送文件", true}},
        {"RIGHT_INNER_SEND_FILE_BYP2P", {"点对点发送文件", true}},
        {"RIGHT_INNER_SEND_BROADCAST_MSG", {"发送广播消息", false}},
        {"RIGHT_INNER_REMOTE_LOGON", {"远程登录", true}},
        {"RIGHT_INNER_SEND_BROADCAST_MSG_ONLY_CURRENT_DEPT", {"只向本部门发送广播", false}},
        {"RIGHT_OUT_CREATE_MULTI_SESSION", {"与外部用户多人会话", true}},
        {"RIGHT_OUT_SEND_FILE_LIMIT", {"向外部发送文件(限制大小)", true}},
        {"RIGHT_OUT_SEND_FILE_NOLIMIT", {"向外部发送文件(不限大小)", false}},
    };
}

// ---- set-up and inspection ---------------------------------------------

void FakeIm::MakeDept(const std::string& path) {
    int parent = 0;
    for (const std::string& name : SplitList(path, "\\")) {
        int found = -1;
        for (int id : ChildIds(parent)) {
            if (m_depts[id].name == name) found = id;
        }
        if (found < 0) {
            found = m_nextDeptId++;
            m_depts[found] = Dept{parent, name, {}};
        }
        parent = found;
    }
}

void FakeIm::MakeUser(const std::string& user, const std::string& path) {
    if (!m_users.contains(user)) {
        User record;
        record.uin = m_nextUin++;
        record.basic.name = user;
        m_users[user] = record;
    }
    if (!path.empty()) {
        MakeDept(path);
        auto& users = m_depts[Find(path)].users;
        if (std::find(users.begin(), users.end(), user) == users.end()) users.push_back(user);
    }
}

void FakeIm::MakeRole(const std::string& role, const std::string& description) {
    if (!FindRole(role)) m_roles.push_back({role, description, {}, {}});
}

void FakeIm::GiveRole(const std::string& user, const std::string& role) {
    MakeRole(role);
    FindRole(role)->users.push_back(user);
}

void FakeIm::GiveRight(const std::string& role, const std::string& right, bool deny, bool allow) {
    MakeRole(role);
    FindRole(role)->rights.push_back({right, {deny, allow}});
}

bool FakeIm::HasDept(const std::string& path) const {
    return Find(path) > 0;
}
bool FakeIm::HasUser(const std::string& user) const {
    return m_users.contains(user);
}

std::vector<std::string> FakeIm::DeptsOf(const std::string& user) const {
    std::vector<std::string> paths;
    for (const auto& [id, dept] : m_depts) {
        if (std::find(dept.users.begin(), dept.users.end(), user) != dept.users.end()) {
            paths.push_back(PathOf(id));
        }
    }
    return paths;
}

std::vector<std::string> FakeIm::ChildrenOf(const std::string& path) const {
    std::vector<std::string> names;
    int id = Find(path);
    if (id < 0) return names;
    for (int child : ChildIds(id)) names.push_back(m_depts.at(child).name);
    return names;
}

std::vector<std::string> FakeIm::RolesOf(const std::string& user) const {
    std::vector<std::string> names;
    for (const Role& role : m_roles) {
        if (std::find(role.users.begin(), role.users.end(), user) != role.users.end()) {
            names.push_back(role.name);
        }
    }
    return names;
}

std::vector<std::string> FakeIm::RoleNames() const {
    std::vector<std::string> names;
    for (const Role& role : m_roles) names.push_back(role.name);
    return names;
}

bool FakeIm::HasRole(const std::string& role) const {
    return FindRole(role) != nullptr;
}

std::string FakeIm::DescriptionOf(const std::string& role) const {
    const Role* found = FindRole(role);
    return found ? found->description : std::string();
}

std::map<std::string, FakeIm::Setting> FakeIm::RightsOf(const std::string& role) const {
    std::map<std::string, Setting> rights;
    if (const Role* found = FindRole(role)) {
        for (const RightSetting& right : found->rights) rights[right.identity] = right.setting;
    }
    return rights;
}

UserBasicInfo FakeIm::BasicOf(const std::string& user) const {
    return m_users.at(user).basic;
}
UserDetail FakeIm::DetailOf(const std::string& user) const {
    return m_users.at(user).detail;
}
void FakeIm::SetDetail(const std::string& user, const UserDetail& detail) {
    m_users.at(user).detail = detail;
}
void FakeIm::SetGender(const std::string& user, int gender) {
    m_users.at(user).basic.gender = gender;
}
std::string FakeIm::PasswordOf(const std::string& user) const {
    return m_users.at(user).password;
}
void FakeIm::SetRightName(const std::string& right, const std::string& name) {
    m_rights[right].name = name;
}

void FakeIm::OverrideAnswer(const std::string& operation, const std::string& key,
                            const std::string& text) {
    m_overrides[operation + "\n" + key] = text;
}

void FakeIm::Fail(const std::string& operation, int after) {
    m_failAfter[operation] = after;
}
void FakeIm::Heal(const std::string& operation) {
    m_failAfter.erase(operation);
}
void FakeIm::ForceStatus(const std::string& operation, int status) {
    m_status[operation] = status;
}

std::vector<std::string> FakeIm::CallsOf(const std::string& operation) const {
    std::vector<std::string> args;
    const std::string prefix = operation + "(";
    for (const std::string& call : m_calls) {
        if (call.starts_with(prefix))
            args.push_back(call.substr(prefix.size(), call.size() - prefix.size() - 1));
    }
    return args;
}

// ---- units of work ---------------------------------------------------------

class FakeIm::Unit final : public ImUnitOfWork {
  public:
    explicit Unit(FakeIm& im)
        : m_im(im),
          m_depts(im.m_depts),
          m_nextDeptId(im.m_nextDeptId),
          m_users(im.m_users),
          m_nextUin(im.m_nextUin),
          m_roles(im.m_roles) {}

    ~Unit() override {
        if (m_done) return;
        m_im.m_depts = std::move(m_depts);
        m_im.m_nextDeptId = m_nextDeptId;
        m_im.m_users = std::move(m_users);
        m_im.m_nextUin = m_nextUin;
        m_im.m_roles = std::move(m_roles);
        ++m_im.m_unitsRolledBack;
    }

    void Commit() override {
        if (m_im.m_failCommit) {
            m_im.m_failCommit = false;
            m_im.Refuse(im_code::kFail, "injected failure of Commit");
        }
        m_done = true;
        ++m_im.m_unitsCommitted;
    }

  private:
    FakeIm& m_im;
    bool m_done = false;
    std::map<int, Dept> m_depts;
    int m_nextDeptId;
    std::map<std::string, User> m_users;
    int64_t m_nextUin;
    std::vector<Role> m_roles;
};

std::unique_ptr<ImUnitOfWork> FakeIm::BeginUnitOfWork() {
    return std::make_unique<Unit>(*this);
}

// ---- internals -----------------------------------------------------------

void FakeIm::Enter(const std::string& operation, const std::vector<std::string>& args) {
    std::string call = operation + "(";
    for (size_t i = 0; i < args.size(); ++i) call += (i ? "," : "") + args[i];
    m_calls.push_back(call + ")");
    auto failing = m_failAfter.find(operation);
    if (failing == m_failAfter.end()) return;
    if (failing->second > 0) {
        --failing->second;
        return;
    }
    Refuse(im_code::kFail, "injected failure of " + operation);
}

void FakeIm::Refuse(uint32_t code, const std::string& what) const {
    throw ImError(code, "FakeIm", what);
}

int FakeIm::Find(const std::string& path) const {
    int current = 0;
    for (const std::string& name : SplitList(path, "\\")) {
        int found = -1;
        for (int id : ChildIds(current)) {
            if (m_depts.at(id).name == name) found = id;
        }
        if (found < 0) return -1;
        current = found;
    }
    return current;
}

int FakeIm::FindOrThrow(const std::string& path) const {
    int id = Find(path);
    if (id < 0) Refuse(im_code::kNotFound, "no department " + path);
    return id;
}

std::string FakeIm::PathOf(int id) const {
    std::string path;
    while (id != 0) {
        const Dept& dept = m_depts.at(id);
        path = "\\" + dept.name + path;
        id = dept.parent;
    }
    return path;
}

std::vector<int> FakeIm::ChildIds(int parent) const {
    std::vector<int> ids;
    for (const auto& [id, dept] : m_depts) {
        if (dept.parent == parent) ids.push_back(id);
    }
    return ids;
}

bool FakeIm::IsInside(int id, int ancestor) const {
    for (; id != 0; id = m_depts.at(id).parent) {
        if (id == ancestor) return true;
    }
    return false;
}

FakeIm::User& FakeIm::UserOrThrow(const std::string& user) {
    auto found = m_users.find(user);
    if (found == m_users.end()) Refuse(im_code::kNotFound, "no user " + user);
    return found->second;
}

// Role names are unique regardless of letter case, like the real directory's.
FakeIm::Role* FakeIm::FindRole(const std::string& role) {
    for (Role& r : m_roles) {
        if (EqualsNoCase(r.name, role)) return &r;
    }
    return nullptr;
}

const FakeIm::Role* FakeIm::FindRole(const std::string& role) const {
    return const_cast<FakeIm*>(this)->FindRole(role);
}

FakeIm::Role& FakeIm::RoleOrThrow(const std::string& role) {
    Role* found = FindRole(role);
    if (!found) Refuse(im_code::kNotFound, "no role " + role);
    return *found;
}

bool FakeIm::TakeOverride(const std::string& operation, const std::string& key, std::string& text) {
    auto found = m_overrides.find(operation + "\n" + key);
    if (found == m_overrides.end()) return false;
    text = found->second;
    return true;
}

// ---- ImRoot -----------------------------------------------------------

void FakeIm::SetServerAddress(const std::string& address) {
    Enter("SetServerAddress", {address});
}
void FakeIm::SetServerPort(int port) {
    Enter("SetServerPort", {std::to_string(port)});
}
ImDeptManager& FakeIm::GetDeptManager() {
    return *this;
}
ImUserManager& FakeIm::GetUserManager() {
    return *this;
}
ImRoleManager& FakeIm::GetRoleManager() {
    return *this;
}
ImApplication& FakeIm::GetApplication() {
    return *this;
}

int16_t FakeIm::VerifyPassword(const std::string& user, const std::string& password) {
    Enter("VerifyPassword", {user});
    if (auto forced = m_status.find("VerifyPassword"); forced != m_status.end()) {
        return static_cast<int16_t>(forced->second);
    }
    auto found = m_users.find(user);
    return found != m_users.end() && found->second.password == password ? 0 : 1;
}

std::string FakeIm::GetRightInfo(const std::string& right) {
    Enter("GetRightInfo", {right});
    std::string text;
    if (TakeOverride("GetRightInfo", right, text)) return text;
    auto found = m_rights.find(right);
    if (found == m_rights.end()) Refuse(im_code::kNotFound, "no right " + right);
    return "<RightInfo><Item key=\"Identity\">" + XmlEscaped(right) + "</Item><Item key=\"Name\">" +
           XmlEscaped(found->second.name) + "</Item><Item key=\"DefaultAllow\">" +
           (found->second.defaultAllow ? "1" : "0") + "</Item></RightInfo>";
}

// ---- ImDeptManager ----------------------------------------------------

int FakeIm::AddDept(const std::string& name, const std::string& parentPath) {
    Enter("AddDept", {name, parentPath});
    if (auto forced = m_status.find("AddDept"); forced != m_status.end()) return forced->second;
    int parent = FindOrThrow(parentPath);
    if (name.empty()) Refuse(im_code::kInvalidArgument, "empty name");
    for (int id : ChildIds(parent)) {
        if (m_depts[id].name == name) Refuse(im_code::kAlreadyExists, "exists");
    }
    m_depts[m_nextDeptId++] = Dept{parent, name, {}};
    return 0;
}

bool FakeIm::IsDeptExist(const std::string& path) {
    Enter("IsDeptExist", {path});
    return Find(path) > 0;
}

int FakeIm::DeleteDept(const std::string& path, int flags) {
    Enter("DeleteDept", {path, std::to_string(flags)});
    if (auto forced = m_status.find("DeleteDept"); forced != m_status.end()) return forced->second;
    int id = FindOrThrow(path);
    if (id == 0) Refuse(im_code::kInvalidArgument, "the top level");
    if (!ChildIds(id).empty() || !m_depts[id].users.empty()) Refuse(im_code::kNotEmpty, path);
    m_depts.erase(id);
    return 0;
}

void FakeIm::ChangeDeptName(const std::string& path, const std::string& newName) {
    Enter("ChangeDeptName", {path, newName});
    int id = FindOrThrow(path);
    if (id == 0 || newName.empty()) Refuse(im_code::kInvalidArgument, path);
    for (int sibling : ChildIds(m_depts[id].parent)) {
        if (sibling != id && m_depts[sibling].name == newName) {
            Refuse(im_code::kAlreadyExists, newName);
        }
    }
    m_depts[id].name = newName;
}

void FakeIm::MoveDept(const std::string& path, const std::string& newParentPath) {
    Enter("MoveDept", {path, newParentPath});
    int id = FindOrThrow(path);
    int parent = FindOrThrow(newParentPath);
    if (id == 0 || IsInside(parent, id)) Refuse(im_code::kInvalidArgument, "into its own subtree");
    for (int sibling : ChildIds(parent)) {
        if (sibling != id && m_depts[sibling].name == m_depts[id].name) {
            Refuse(im_code::kAlreadyExists, m_depts[id].name);
        }
    }
    m_depts[id].parent = parent;
}

void FakeIm::RemoveUserFromDept(const std::string& user, const std::string& deptPath) {
    Enter("RemoveUserFromDept", {user, deptPath});
    int id = FindOrThrow(deptPath);
    if (id == 0) Refuse(im_code::kInvalidArgument, "the top level");
    auto& users = m_depts[id].users;
    auto found = std::find(users.begin(), users.end(), user);
    if (found == users.end()) Refuse(im_code::kNotFound, user + " not in " + deptPath);
    users.erase(found);
}

void FakeIm::AddUserToDept(const std::string& user, const std::string& sourceDept,
                           const std::string& targetDept, int copy) {
    Enter("AddUserToDept", {user, sourceDept, targetDept, std::to_string(copy)});
    UserOrThrow(user);
    int id = FindOrThrow(targetDept);
    if (id == 0) Refuse(im_code::kInvalidArgument, "the top level");
    auto& users = m_depts[id].users;
    if (std::find(users.begin(), users.end(), user) == users.end()) users.push_back(user);
}

std::string FakeIm::GetChildDepts(const std::string& path) {
    Enter("GetChildDepts", {path});
    int id = FindOrThrow(path);
    std::vector<std::string> names;
    for (int child : ChildIds(id)) names.push_back(m_depts[child].name);
    return NameList("Departments", "Department", names);
}

std::string FakeIm::GetDeptUsers(const std::string& path) {
    Enter("GetDeptUsers", {path});
    int id = FindOrThrow(path);
    return NameList("Users", "User", id == 0 ? std::vector<std::string>{} : m_depts[id].users);
}

std::string FakeIm::GetUserDepts(const std::string& user) {
    Enter("GetUserDepts", {user});
    UserOrThrow(user);
    std::vector<std::string> paths;
    for (const std::string& path : DeptsOf(user)) paths.push_back(path.substr(1));
    return NameList("Departments", "Department", paths);
}

// ---- ImUserManager ----------------------------------------------------

void FakeIm::AddUser(const std::string& user, int number) {
    Enter("AddUser", {user, std::to_string(number)});
    if (user.empty()) Refuse(im_code::kInvalidArgument, "empty account");
    if (m_users.contains(user)) Refuse(im_code::kAlreadyExists, user);
    User record;
    record.uin = m_nextUin++;
    m_users[user] = record;
}

void FakeIm::SetUserPassword(const std::string& user, const std::string& password) {
    Enter("SetUserPassword", {user});
    UserOrThrow(user).password = password;
}

std::string FakeIm::PreparePassword(const std::string& password) {
    Enter("PreparePassword", {});
    return password;
}

void FakeIm::SetUserPreparedPassword(const std::string& user, const std::string& prepared) {
    Enter("SetUserPreparedPassword", {user});
    UserOrThrow(user).password = prepared;
}

void FakeIm::DeleteUser(const std::string& user) {
    Enter("DeleteUser", {user});
    UserOrThrow(user);
    m_users.erase(user);
    for (auto& [id, dept] : m_depts) std::erase(dept.users, user);
    for (Role& role : m_roles) std::erase(role.users, user);
}

bool FakeIm::IsUserExist(const std::string& user) {
    Enter("IsUserExist", {user});
    return m_users.contains(user);
}

UserBasicInfo FakeIm::GetUserBasicInfo(const std::string& user) {
    Enter("GetUserBasicInfo", {user});
    return UserOrThrow(user).basic;
}

void FakeIm::SetUserBasicInfo(const std::string& user, const std::string& name, int gender,
                              const std::string& mobile, const std::string& email,
                              const std::string& phone, int32_t auth) {
    Enter("SetUserBasicInfo",
          {user, name, std::to_string(gender), mobile, email, phone, std::to_string(auth)});
    UserOrThrow(user).basic = UserBasicInfo{name, gender, mobile, email, phone, auth};
}

int64_t FakeIm::GetUserUin(const std::string& user) {
    Enter("GetUserUin", {user});
    return UserOrThrow(user).uin;
}

UserDetail FakeIm::GetUserDetail(const std::string& user) {
    Enter("GetUserDetail", {user});
    return UserOrThrow(user).detail;
}

void FakeIm::SetUserDetail(const std::string& user, const UserDetail& detail) {
    Enter("SetUserDetail", {user, std::to_string(detail.leading[0]), detail.texts[9],
                            std::to_string(detail.trailing)});
    UserOrThrow(user).detail = detail;
}

// Accounts in map order (case-sensitive, as the fake keeps them); the exact
// account first. Texts it refuses are the vexdir's: too short, control characters.
void FakeIm::SearchUsers(const std::string& text, const UserMatchVisitor& visit) {
    Enter("SearchUsers", {text});
    if (text.size() < 2 || std::any_of(text.begin(), text.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20;
        })) {
        Refuse(im_code::kInvalidArgument, "search text");
    }
    const std::string needle = LowerAscii(text);
    auto found = [&](const std::string& account) {
        std::vector<std::string> depts;
        for (const std::string& path : DeptsOf(account)) depts.push_back(path.substr(1));
        return visit(UserMatch{account, m_users.at(account).basic.name, std::move(depts)});
    };
    auto exact = std::find_if(m_users.begin(), m_users.end(),
                              [&](const auto& u) { return EqualsNoCase(u.first, text); });
    if (exact != m_users.end() && !found(exact->first)) return;
    for (const auto& [account, user] : m_users) {
        if (exact != m_users.end() && account == exact->first) continue;
        const UserBasicInfo& b = user.basic;
        for (const std::string* field : {&account, &b.name, &b.mobile, &b.phone, &b.email}) {
            if (LowerAscii(*field).find(needle) == std::string::npos) continue;
            if (!found(account)) return;
            break;
        }
    }
}

// ---- ImRoleManager ----------------------------------------------------

std::string FakeIm::GetAllRoles() {
    Enter("GetAllRoles", {});
    std::string text;
    if (TakeOverride("GetAllRoles", "", text)) return text;
    return RoleList(RoleNames());
}

std::string FakeIm::GetRoleDescription(const std::string& role) {
    Enter("GetRoleDescription", {role});
    std::string text;
    if (TakeOverride("GetRoleDescription", role, text)) return text;
    const Role& found = RoleOrThrow(role);
    return "<Role RoleName=\"" + XmlEscaped(found.name) + "\" RoleDescribe=\"" +
           XmlEscaped(found.description) + "\" />";
}

std::string FakeIm::GetRoleRights(const std::string& role) {
    Enter("GetRoleRights", {role});
    std::string text;
    if (TakeOverride("GetRoleRights", role, text)) return text;
    std::string xml = "<RoleRights>";
    for (const RightSetting& right : RoleOrThrow(role).rights) {
        xml += "<Item Identity=\"" + XmlEscaped(right.identity) + "\" Deny=\"" +
               (right.setting.deny ? kTrue : kFalse) + "\" Allow=\"" +
               (right.setting.allow ? kTrue : kFalse) + "\"/>";
    }
    return xml + "</RoleRights>";
}

std::string FakeIm::GetUserRoles(const std::string& user) {
    Enter("GetUserRoles", {user});
    std::string text;
    if (TakeOverride("GetUserRoles", user, text)) return text;
    UserOrThrow(user);
    return RoleList(RolesOf(user));
}

void FakeIm::AddRole(const std::string& name, const std::string& description) {
    Enter("AddRole", {name, description});
    if (name.empty()) Refuse(im_code::kInvalidArgument, "empty role name");
    if (FindRole(name)) Refuse(im_code::kAlreadyExists, name);
    m_roles.push_back({name, description, {}, {}});
}

void FakeIm::DeleteRole(const std::string& name) {
    Enter("DeleteRole", {name});
    Role& role = RoleOrThrow(name);
    if (EqualsNoCase(role.name, "User") || role.name == "管理员") {
        Refuse(im_code::kInvalidArgument, "built-in role " + name);
    }
    std::erase_if(m_roles, [&](const Role& r) { return &r == &role; });
}

void FakeIm::UpdateRole(const std::string& name, const std::string& newName,
                        const std::string& description) {
    Enter("UpdateRole", {name, newName, description});
    Role& role = RoleOrThrow(name);
    if (newName.empty()) Refuse(im_code::kInvalidArgument, "empty role name");
    // Like the directory, the built-in roles keep their names.
    if (newName != role.name && (EqualsNoCase(role.name, "User") || role.name == "管理员")) {
        Refuse(im_code::kInvalidArgument, "built-in role " + role.name);
    }
    if (Role* other = FindRole(newName); other && other != &role) {
        Refuse(im_code::kAlreadyExists, newName);
    }
    role.name = newName;
    role.description = description;
}

void FakeIm::AddUserToRole(const std::string& user, const std::string& role) {
    Enter("AddUserToRole", {user, role});
    UserOrThrow(user);
    Role& found = RoleOrThrow(role);
    if (std::find(found.users.begin(), found.users.end(), user) != found.users.end()) {
        Refuse(im_code::kAlreadyExists, user + " already holds " + role);
    }
    found.users.push_back(user);
}

void FakeIm::RemoveUserFromRole(const std::string& user, const std::string& role) {
    Enter("RemoveUserFromRole", {user, role});
    Role& found = RoleOrThrow(role);
    auto at = std::find(found.users.begin(), found.users.end(), user);
    if (at == found.users.end()) Refuse(im_code::kNotFound, user + " does not hold " + role);
    found.users.erase(at);
}

void FakeIm::AddRightToRole(const std::string& role, const std::string& right) {
    Enter("AddRightToRole", {role, right});
    Role& found = RoleOrThrow(role);
    if (!m_rights.contains(right)) Refuse(im_code::kNotFound, "no right " + right);
    for (const RightSetting& held : found.rights) {
        if (held.identity == right) Refuse(im_code::kAlreadyExists, right);
    }
    found.rights.push_back({right, {}});
}

void FakeIm::SetRoleRight(const std::string& role, const std::string& right, int deny, int allow) {
    Enter("SetRoleRight", {role, right, std::to_string(deny), std::to_string(allow)});
    for (RightSetting& held : RoleOrThrow(role).rights) {
        if (held.identity == right) {
            held.setting = Setting{deny != 0, allow != 0};
            return;
        }
    }
    Refuse(im_code::kNotFound, role + " lacks " + right);
}

// ---- ImApplication ----------------------------------------------------

void FakeIm::SetAppGuid(const std::string& guid) {
    Enter("SetAppGuid", {guid});
}
void FakeIm::SetAppName(const std::string& name) {
    Enter("SetAppName", {name});
}
void FakeIm::SetProgId(const std::string& progId) {
    Enter("SetProgId", {progId});
}
void FakeIm::SetReceiverName(const std::string& name) {
    Enter("SetReceiverName", {name});
}
void FakeIm::SetOptionNumber1(int value) {
    Enter("SetOptionNumber1", {std::to_string(value)});
}
void FakeIm::SetOptionNumber2(int value) {
    Enter("SetOptionNumber2", {std::to_string(value)});
}
void FakeIm::SetOptionText1(const std::string& value) {
    Enter("SetOptionText1", {value});
}
void FakeIm::SetOptionText2(const std::string& value) {
    Enter("SetOptionText2", {value});
}
void FakeIm::SetOptionText3(const std::string& value) {
    Enter("SetOptionText3", {value});
}
void FakeIm::SetOptionText4(const std::string& value) {
    Enter("SetOptionText4", {value});
}
void FakeIm::SetOptionText5(const std::string& value) {
    Enter("SetOptionText5", {value});
}
void FakeIm::Register() {
    Enter("Register", {});
}
void FakeIm::Start(const std::string& value, int timeoutMs) {
    Enter("Start", {value, std::to_string(timeoutMs)});
}

}  // namespace warden::test
