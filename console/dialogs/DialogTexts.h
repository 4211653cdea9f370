// Every text the console's dialogs show, byte for byte: titles, labels,
// buttons, input checks and confirmations.
#pragma once

namespace warden::console::text {

// Buttons shared by several dialogs.
inline constexpr const char kSubmit[] = "提交";
inline constexpr const char kClose[] = "关闭";
inline constexpr const char kCancel[] = "取消";
inline constexpr const char kOk[] = "确定";

// Change password.
inline constexpr const char kPasswordTitle[] = "修改密码";
inline constexpr const char kUserNameLabel[] = "用户名:";
inline constexpr const char kOldPasswordLabel[] = "原密码:";
inline constexpr const char kNewPasswordLabel[] = "新密码:";
inline constexpr const char kConfirmPasswordLabel[] = "确认密码:";
inline constexpr const char kOldPasswordWrong[] = "原密码输入错误";
inline constexpr const char kPasswordsDiffer[] = "密码输入不匹配, 请重新输入";
inline constexpr const char kPasswordChanged[] = "修改密码成功";
inline constexpr const char kNewPasswordEmpty[] = "新密码不能为空";

// Department dialogs.
inline constexpr const char kAddDeptTitle[] = "添加部门";
inline constexpr const char kChangeDeptTitle[] = "修改部门";
inline constexpr const char kOrderDeptTitle[] = "修改部门位置";
inline constexpr const char kDeptNameLabel[] = "部门名称:";
inline constexpr const char kParentDeptLabel[] = "父部门:";
inline constexpr const char kUpperDeptLabel[] = "上级部门:";
inline constexpr const char kAddButton[] = "添加";
inline constexpr const char kClearParentButton[] = "清除父部门";
inline constexpr const char kTopLevelNote[] = "*父部门为空时，添加的部门默认为根部门";
inline constexpr const char kOnlySuperAddsTopLevel[] = "只有一级管理员可以添加根部门";
inline constexpr const char kEnterDeptName[] = "请输入部门名称";
inline constexpr const char kDeptNameEmpty[] = "部门名称不允许为空";
inline constexpr const char kDeptUnchanged[] = "部门名称和上级部门都没有改变, 没有需要提交的修改";
inline constexpr const char kPositionGroup[] = "部门位置";
inline constexpr const char kPlaceLast[] = "位于同层次部门的最后位置";
inline constexpr const char kPlaceChosen[] = "选择";
inline constexpr const char kPlaceBefore[] = "位于";
inline constexpr const char kPlaceBeforeEnd[] = "之前";
inline constexpr const char kOrderSubmit[] = "提交(&S)";
inline constexpr const char kOrderClose[] = "关闭(&C)";
inline constexpr const char kNoSiblingsSuffix[] = " 没有同级部门,无需修改部门顺序";

// User editor and user roles.
inline constexpr const char kAddUserTitle[] = "添加用户";
inline constexpr const char kUpdateUserTitle[] = "修改用户信息";
inline constexpr const char kAccountLabel[] = "帐号:";
inline constexpr const char kPasswordLabelUser[] = "密码:";
inline constexpr const char kPasswordNote[] = "*密码为空时，不对原密码进行修改*";
inline constexpr const char kPartlyOutsideNote[] =
    "*该用户还属于您管理范围以外的部门, 不能修改其密码和姓名*";
inline constexpr const char kNameLabel[] = "姓名:";
inline constexpr const char kLevelLabel[] = "权值:";
inline constexpr const char kGenderLabel[] = "性别:";
inline constexpr const char kPositionLabel[] = "职务:";
inline constexpr const char kMobileLabel[] = "手机:";
inline constexpr const char kPhoneLabel[] = "电话:";
inline constexpr const char kEmailLabel[] = "Email:";
inline constexpr const char kRolesLabel[] = "角色:";
inline constexpr const char kRolesButton[] = "角色设置";
inline constexpr const char kDeptsLabel[] = "部门:";
inline constexpr const char kAddDeptButton[] = "添加部门";
inline constexpr const char kRemoveDeptButton[] = "删除部门";
inline constexpr const char kDeptTreeGroup[] = "部门列表";
inline constexpr const char kMale[] = "男";
inline constexpr const char kFemale[] = "女";
inline constexpr const char kDeptsEmpty[] = "部门不能为空";
inline constexpr const char kAccountEmpty[] = "帐号不能为空";
inline constexpr const char kChooseDept[] = "请在部门列表中选择部门";
inline constexpr const char kChooseGender[] = "请选择性别";
inline constexpr const char kUserRolesTitle[] = "用户角色管理";
inline constexpr const char kAllRolesGroup[] = "全部角色:";
inline constexpr const char kUserRolesGroup[] = "用户角色:";
inline constexpr const char kMoveRight[] = "添加 >>";
inline constexpr const char kMoveLeft[] = "<< 移除";

// Second-level administrators.
inline constexpr const char kAdminListTitle[] = "分级管理员管理";
inline constexpr const char kAdminListGroup[] = "管理员列表:";
inline constexpr const char kAdminDeptsGroup[] = "管理部门列表:";
inline constexpr const char kAddAdmin[] = "添加管理员";
inline constexpr const char kChangeAdmin[] = "修改管理员";
inline constexpr const char kDeleteAdmin[] = "删除管理员";
inline constexpr const char kQuit[] = "退出";
inline constexpr const char kAddAdminTitle[] = "添加分级管理员";
inline constexpr const char kUpdateAdminTitle[] = "修改分级管理员";
inline constexpr const char kManagedDeptsGroup[] = "管理部门信息:";
inline constexpr const char kRolesGroup[] = "角色管理:";
inline constexpr const char kAddAccel[] = "添加(&A) >>";
inline constexpr const char kDeleteAccel[] = "<< 删除(&D)";
inline constexpr const char kSave[] = "保存(&S)";
inline constexpr const char kCloseAccel[] = "关闭(&Q)";
inline constexpr const char kDeptConflictSuffix[] = "] 的父部门或子部门在列表中已经存在";
inline constexpr const char kChooseRole[] = "请选择要添加的角色";
inline constexpr const char kRoleAlreadyListed[] = "所选角色已在列表中";
inline constexpr const char kSetManagedDepts[] = "请设置所要管理的部门";
inline constexpr const char kAlreadyAdminSuffix[] =
    " 已经是分级管理员, 请在分级管理员管理中用\"修改管理员\"修改他的设置";

// Roles and rights.
inline constexpr const char kRoleManagerTitle[] = "角色管理";
inline constexpr const char kRoleListGroup[] = "角色列表:";
inline constexpr const char kRightListGroup[] = "权限列表:";
inline constexpr const char kRoleNameLabel[] = "角色名称:";
inline constexpr const char kRoleDescLabel[] = "描述信息:";
inline constexpr const char kNewRoleDescLabel[] = "角色描述:";
inline constexpr const char kUpdateRole[] = "修改";
inline constexpr const char kAddRole[] = "添加角色";
inline constexpr const char kEditRight[] = "权限修改";
inline constexpr const char kDeleteRole[] = "删除角色";
inline constexpr const char kRightSettingTitle[] = "权限设置";
inline constexpr const char kRightSettingGroup[] = "权限设置:";
inline constexpr const char kRightValueGroup[] = "权限值:";
inline constexpr const char kDeny[] = "拒绝";
inline constexpr const char kAllow[] = "允许";
inline constexpr const char kRightDescHeader[] = "权限描述";
inline constexpr const char kIdentityHeader[] = "Identity";
inline constexpr const char kRoleNotDeletable[] = "此角色不可删除";
inline constexpr const char kRightChanged[] = "权限修改成功!";
inline constexpr const char kEnterRoleName[] = "请输入角色名称";

}  // namespace warden::console::text
