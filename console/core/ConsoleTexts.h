// Every text the console core shows to the user, byte for byte.
#pragma once

namespace warden::console::text {

// Captions.
inline constexpr const char kProgramName[] = "warden-console";
inline constexpr const char kCaptionError[] = "错误";
inline constexpr const char kCaptionInfo[] = "信息";
inline constexpr const char kCaptionHint[] = "提示";
inline constexpr const char kCaptionConfirm[] = "确认";

// Transport.
inline constexpr const char kCreateSocketFailed[] = "创建socket失败";
inline constexpr const char kConnectFailed[] = "连接失败";
inline constexpr const char kReceiveTimeout[] = "接收数据超时";
inline constexpr const char kConnectionLost[] = "与服务器的连接已断开";
inline constexpr const char kConnectionLostRelogin[] = "与服务器的连接已断开,是否重新登录?";
inline constexpr const char kConnectionLostReloginDialogs[] =
    "与服务器的连接已断开,是否重新登录?\n重新登录会关闭打开的窗口, 其中没有提交的修改不会保存。";
inline constexpr const char kUnsendableText[] = "请求中含有无法发送的字符";
inline constexpr const char kUnreadableReply[] = "服务器的回复无法识别";
inline constexpr const char kRelogin[] = "重新登录";
inline constexpr const char kNotSavedWithoutReply[] = "没有收到服务器的回复, 所做的修改没有保存";

// Input checks shared by every window ("提示"): what the wire cannot carry.
inline constexpr const char kNameCharsRefused[] = "不能含有以下字符: \\ , ` | ^ ; = ? 以及控制字符";
inline constexpr const char kValueCharsRefused[] = "不能含有以下字符: ` ?";
inline constexpr const char kPasswordUnsendable[] = "密码中含有 ` 或 ? 字符, 无法发送到服务器";

// Login.
inline constexpr const char kLoginTitle[] = "登录";
inline constexpr const char kServerLabel[] = "服务器:";
inline constexpr const char kLoginNameLabel[] = "登录名:";
inline constexpr const char kPasswordLabel[] = "密码:";
inline constexpr const char kLoginButton[] = "登 录";
inline constexpr const char kCancelButton[] = "取 消";
inline constexpr const char kEnterAddress[] = "请输入服务器地址";
inline constexpr const char kEnterLoginName[] = "请输入登录名.";
inline constexpr const char kPasswordEmpty[] = "密码不能为空";
inline constexpr const char kEnterPort[] = "请输入服务器端口";
inline constexpr const char kAddressInvalid[] =
    "服务器地址无效, 请输入完整的IP地址(如 192.168.0.5)或主机名";
inline constexpr const char kLoginNameField[] = "登录名";
inline constexpr const char kNoAdminRights[] = "您没有管理员权限";
inline constexpr const char kDefaultPort[] = "8088";

// Main window.
inline constexpr const char kMainTitle[] = "分级权限管理(Socket)";
inline constexpr const char kMenuOperations[] = "操作";
inline constexpr const char kManageAdmins[] = "分级管理员管理";
inline constexpr const char kChangePassword[] = "修改管理员密码";
inline constexpr const char kManageRoles[] = "角色管理";
inline constexpr const char kAuditLog[] = "操作日志";
inline constexpr const char kExit[] = "退出";
inline constexpr const char kDeptMenu[] = "菜单";
inline constexpr const char kUserMenuSuper[] = "菜单(SUPPER)";
inline constexpr const char kUserMenuNormal[] = "菜单(NORMAL)";
inline constexpr const char kAddDept[] = "添加部门";
inline constexpr const char kDeleteDept[] = "删除部门";
inline constexpr const char kChangeDept[] = "更改部门";
inline constexpr const char kOrderDept[] = "修改部门顺序";
inline constexpr const char kAddUser[] = "添加用户";
inline constexpr const char kExportUsers[] = "导出用户(CSV)...";
inline constexpr const char kImportUsers[] = "导入用户(CSV)...";
inline constexpr const char kEditUser[] = "修改用户";
inline constexpr const char kDeleteUser[] = "删除用户";
inline constexpr const char kMakeAdmin[] = "设为管理员";
inline constexpr const char kConfirmExit[] = "确定要退出么?";
inline constexpr const char kDeleteUserFailed[] = "删除用户失败";
inline constexpr const char kDeleteUserDone[] = "删除用户成功";
inline constexpr const char kUserDoesNotExist[] = "用户不存在";
inline constexpr const char kCannotDeleteTopDept[] = "不能删除一级部门";
inline constexpr const char kLoadingRecords[] = "正在读取用户资料";
inline constexpr const char kLoggedInAs[] = "当前用户: ";
inline constexpr const char kSuperLevel[] = "超级管理员";
inline constexpr const char kSecondLevel[] = "分级管理员";
inline constexpr const char kServerLabelStatus[] = "服务器: ";
inline constexpr const char kUserCount[] = "列表中 %1 个用户";
inline constexpr const char kRightsChanged[] =
    "您的管理权限已被超级管理员更改, 部门列表已按新的权限刷新";
inline constexpr const char kRightsWithdrawn[] = "您的管理权限已被超级管理员收回";

}  // namespace warden::console::text
