#include "server/im/DeptOperations.h"

#include "protocol/NameRules.h"

namespace warden {

std::string AddDepartment(ImRoot& root, const std::string& name, const std::string& parentPath) {
    if (name.empty()) return "error:请输入所要创建的部门名称";
    if (!IsCarriableName(name)) return kReservedNameReply;
    ImDeptManager& depts = root.GetDeptManager();
    if (depts.IsDeptExist(parentPath + "\\" + name)) return "error:部门已经存在";
    return depts.AddDept(name, parentPath) == 0 ? "info:添加部门成功" : "error:添加失败";
}

}  // namespace warden
