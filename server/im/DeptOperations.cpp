#include "server/im/DeptOperations.h"

#include "protocol/NameRules.h"
#include "directory/ImError.h"

namespace warden {

namespace {
constexpr const char kAddFailed[] = "error:添加失败";
}  // namespace

std::string AddDepartment(ImRoot& root, const std::string& name, const std::string& parentPath) {
    if (name.empty()) return "error:请输入所要创建的部门名称";
    if (!IsCarriableName(name)) return kReservedNameReply;
    ImDeptManager& depts = root.GetDeptManager();
    if (depts.IsDeptExist(parentPath + "\\" + name)) return "error:部门已经存在";
    int status;
    try {
        status = depts.AddDept(name, parentPath);
    } catch (const ImError& e) {
        // The parent has gone, or the name was taken meanwhile.
        if (IsRefusal(e)) return kAddFailed;
        throw;
    }
    return status == 0 ? "info:添加部门成功" : kAddFailed;
}

}  // namespace warden
