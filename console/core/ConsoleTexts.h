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
inline constexpr const char kLoginEndedRelogin[] =
    "登录已失效(长时间没有操作、登录时间已满或密码已在别处修改),是否重新登录?";
inline constexpr const char kReloginClosesDialogs[] =
    "\n重新登录会关闭打开的窗口, 其中没有提交的修改不会保存。";
inline constexpr const char kUnsendableText[] = "请求中含有无法发送的字符";
inline constexpr const char kUnreadableReply[] = "服务器的回复无法识别";
inline constexpr const char kRelogin[] = "重新登录";
inline constexpr const char kNotSavedWithoutReply[] = "没有收到服务器的回复, 所做的修改没有保存";
inline constexpr const char kRequestNotAnswered[] = "服务器没有回答此请求(服务器的版本可能较旧)";
inline constexpr const char kTlsFailed[] =
    "无法与服务器建立加密连接。\n服务器可能没有在此端口提供加密连接(加密连接的默认端口是8801), "
    "或者不支持TLS 1.3。";
inline constexpr const char kTlsTimedOut[] = "与服务器建立加密连接超时";
inline constexpr const char kCertificateNotVerified[] =
    "服务器的证书无法验证, 连接已中断, 没有发送任何数据";

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
inline constexpr const char kDefaultTlsPort[] = "8801";
inline constexpr const char kDefaultPlainPort[] = "8800";
inline constexpr const char kEncryptedBox[] = "加密连接";
inline constexpr const char kTransportTls[] = "TLS 1.3 加密, 验证服务器的证书";
inline constexpr const char kPlainWarning[] =
    "明文连接: 密码和目录数据可被网络上的他人读取和篡改, 仅在可信的网络中使用";
inline constexpr const char kCertificateMenu[] = "证书";
inline constexpr const char kForgetCertificate[] = "移除已保存的服务器证书...";

// Server certificates.
inline constexpr const char kNoTrustedCertificate[] = "没有保存此服务器的证书: ";
inline constexpr const char kForgetCertificateAsk1[] = "确定要移除服务器 ";
inline constexpr const char kForgetCertificateAsk2[] = " 已保存的证书么?\n\nSHA-256 指纹: ";
inline constexpr const char kForgetCertificateAsk3[] =
    "\n\n下次连接时将显示服务器现在的证书并询问是否信任。"
    "只有确认服务器的证书确实已更换时才应移除。";
inline constexpr const char kCertificateForgotten[] = "已移除服务器的证书: ";
inline constexpr const char kConfigNotWritten[] = "无法写入 client.cfg";
inline constexpr const char kTrustNotSaved[] =
    "无法把服务器的证书保存到 client.cfg, 下次连接时将再次询问";
inline constexpr const char kTrustTitle[] = "验证服务器证书";
inline constexpr const char kTrustFirstUse[] = "第一次连接到服务器 ";
inline constexpr const char kTrustFingerprintLabel[] = "服务器证书的 SHA-256 指纹:";
inline constexpr const char kTrustCompare[] =
    "请在服务器上运行 warden-server --fingerprint, 逐字核对指纹。"
    "只有完全一致时才信任此服务器; 不一致说明连接可能已被他人截获, 请取消。";
inline constexpr const char kTrustQuestion[] = "是否信任此服务器并保存其证书?";
inline constexpr const char kTrustAccept[] = "信任并连接";
inline constexpr const char kChangedTitle[] = "服务器证书已改变";
inline constexpr const char kChangedWarning1[] = "警告: 服务器 ";
inline constexpr const char kChangedWarning2[] = " 的证书与以前信任的不一致!";
inline constexpr const char kChangedTrusted[] = "以前信任的指纹:";
inline constexpr const char kChangedPresented[] = "服务器现在的指纹:";
inline constexpr const char kChangedExplain[] =
    "可能有人正在截获此连接(中间人攻击), 也可能服务器的证书已被更换。"
    "连接已中断, 没有发送任何数据, 包括密码。\n\n"
    "请与服务器管理员核对 warden-server --fingerprint 的输出。若证书确实已更换, "
    "请在登录窗口的“证书”菜单中移除已保存的证书, 然后重新登录。";
inline constexpr const char kChangedCaSigned[] =
    "新证书由系统信任的证书机构签发: 多半是服务器换用了本单位的证书, 但仍须核对。";
inline constexpr const char kCloseButton[] = "关 闭";

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
inline constexpr const char kDeleteUserDone[] = "删除用户成功";
inline constexpr const char kUserDoesNotExist[] = "用户不存在";
inline constexpr const char kCannotDeleteTopDept[] = "不能删除一级部门";
inline constexpr const char kLoadingRecords[] = "正在读取用户资料";
inline constexpr const char kLoggedInAs[] = "当前用户: ";
inline constexpr const char kSuperLevel[] = "超级管理员";
inline constexpr const char kSecondLevel[] = "分级管理员";
inline constexpr const char kServerLabelStatus[] = "服务器: ";
inline constexpr const char kEncryptedSuffix[] = " 加密";
inline constexpr const char kCaVouches[] = ", 证书经系统CA验证";
inline constexpr const char kAdminAccepted[] = ", 证书已由管理员确认";
inline constexpr const char kOverPlain[] = "明文, 未加密";
inline constexpr const char kNotConnected[] = "未连接";
inline constexpr const char kProtocolLine[] = "协议: ";
inline constexpr const char kCipherLine[] = "加密套件: ";
inline constexpr const char kFingerprintLine[] = "服务器证书指纹 (SHA-256): ";
inline constexpr const char kPlainDetails[] = "请求和回复(包括密码)以明文传送";
inline constexpr const char kUserCount[] = "列表中 %1 个用户";
inline constexpr const char kRightsChanged[] =
    "您的管理权限已被超级管理员更改, 部门列表已按新的权限刷新";
inline constexpr const char kRightsWithdrawn[] = "您的管理权限已被超级管理员收回";

}  // namespace warden::console::text
