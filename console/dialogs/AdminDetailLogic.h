// "权限详情": what one second-level administrator may do, as the server
// resolves it ("GetAdminEffective.asp"): his departments (each entry with its
// state), the roles he may hand out, the problems among them (entries that no
// longer exist or cover nothing), what each rule lets him reach, and "试一试",
// which asks the server ("CheckPermission.asp") whether an operation on a
// department or user would be allowed for him, and which rule refuses it.
//
// Thread-safety: none; used on the user-interface thread.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "console/core/MessageSink.h"
#include "console/core/Transport.h"
#include "protocol/Permissions.h"

namespace warden::console {

// An operation "试一试" can check: its label, the request and the key that
// names its target, and any keys it needs besides.
struct TrialOperation {
    const char* label;
    const char* request;
    const char* targetKey;
    const char* extra;  // "key=value`…" sent as well; "" for none
    bool onUser;        // the target is an account, not a department
};

inline constexpr std::array<TrialOperation, 8> kTrialOperations{{
    {"查看部门", "GetChildDepts.asp", "deptId", "", false},
    {"添加子部门", "DeptAdd.asp", "parentdept", "deptid=新部门", false},
    {"重命名部门", "DeptChange.asp", "origdeptname", "op=changedeptname`newdeptname=新名称", false},
    {"调整部门顺序", "SetDeptOrder.asp", "deptName", "isLast=1", false},
    {"删除部门", "DeptDelete.asp", "deptid", "", false},
    {"查看用户", "GetUserBInfo.asp", "username", "", true},
    {"查看用户角色", "GetUserRoles.asp", "username", "", true},
    {"删除用户", "UserDelete.asp", "username", "", true},
}};

class AdminDetailLogic {
  public:
    // REQUIRES: every reference outlives this object.
    AdminDetailLogic(Transport& transport, MessageSink& sink, std::string account)
        : m_transport(transport), m_sink(sink), m_account(std::move(account)) {}

    // Reads what the server resolves for him; false (and a message shown)
    // when it could not.
    bool Open();

    const std::string& Account() const { return m_account; }
    // His name in the directory; empty when he has none (or no account).
    const std::string& Name() const { return m_name; }
    const AdminEffective& Effective() const { return m_effective; }
    // One line per department or role that is gone or covers nothing.
    std::vector<std::string> Problems() const;
    // The state of an entry in words ("" for ok).
    static std::string StateText(const std::string& state);
    // The name in a "GetUserBInfo.asp" reply; empty when it has none.
    static std::string NameInRecord(const std::string& record);

    // "试一试": operation `index` of kTrialOperations on `target`. The
    // answer in words: "允许" or "拒绝: …"; an error of the server as it said it.
    std::string Try(size_t index, const std::string& target);

    // The names of the sub-departments of `path`, for the scope tree.
    std::vector<std::string> ChildDepts(const std::string& path);

  private:
    Transport& m_transport;
    MessageSink& m_sink;
    std::string m_account;
    std::string m_name;
    AdminEffective m_effective;
};

}  // namespace warden::console
