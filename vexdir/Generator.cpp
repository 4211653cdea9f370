#include "vexdir/Generator.h"

#include <array>

#include "directory/ImError.h"
#include "directory/ImInstallDir.h"
#include "vexdir/PasswordHash.h"
#include "vexdir/Schema.h"
#include "vexdir/VexDatabase.h"

namespace warden::vexdir {

namespace {

[[noreturn]] void Refuse(const std::string& why) {
    throw ImError(im_code::kInvalidArgument, kErrorSource, why);
}

void RequireEmpty(int64_t departments, int64_t users) {
    if (departments != 0 || users != 0) {
        Refuse("the directory already holds departments or users; generate into an empty one");
    }
}

struct DemoUser {
    const char* account;
    const char* name;
    int gender;  // 0 male, 1 female
    const char* position;
    int level;
    std::array<const char*, 2> depts;  // second may be null
    const char* role;                  // may be null
};

constexpr const char* kDemoDepts[][2] = {
    // {name, parent path}
    {"总部", ""},
    {"总经理办公室", "\\总部"},
    {"人力资源部", "\\总部"},
    {"财务部", "\\总部"},
    {"销售部", ""},
    {"华东区", "\\销售部"},
    {"上海", "\\销售部\\华东区"},
    {"杭州", "\\销售部\\华东区"},
    {"华南区", "\\销售部"},
    {"广州", "\\销售部\\华南区"},
    {"深圳", "\\销售部\\华南区"},
    {"华北区", "\\销售部"},
    {"研发中心", ""},
    {"平台组", "\\研发中心"},
    {"客户端组", "\\研发中心"},
    {"测试组", "\\研发中心"},
};

constexpr DemoUser kDemoUsers[] = {
    {"zhangwei", "张伟", 0, "总经理", 1, {"\\总部\\总经理办公室", nullptr}, "管理员"},
    {"wangfang", "王芳", 1, "人事经理", 3, {"\\总部\\人力资源部", nullptr}, "部门经理"},
    {"lina", "李娜", 1, "招聘专员", 5, {"\\总部\\人力资源部", nullptr}, nullptr},
    {"liuyang", "刘洋", 0, "财务经理", 3, {"\\总部\\财务部", nullptr}, "部门经理"},
    {"chenjing", "陈静", 1, "会计", 5, {"\\总部\\财务部", nullptr}, nullptr},
    {"yangqiang", "杨强", 0, "销售总监", 2, {"\\销售部", "\\总部\\总经理办公室"}, "部门经理"},
    {"zhaolei", "赵磊", 0, "区域经理", 3, {"\\销售部\\华东区", nullptr}, "部门经理"},
    {"huangmin", "黄敏", 1, "销售代表", 5, {"\\销售部\\华东区\\上海", nullptr}, "销售代表"},
    {"zhoujie", "周杰", 0, "销售代表", 5, {"\\销售部\\华东区\\杭州", nullptr}, "销售代表"},
    {"wuting", "吴婷", 1, "区域经理", 3, {"\\销售部\\华南区", nullptr}, "部门经理"},
    {"xujun", "徐军", 0, "销售代表", 5, {"\\销售部\\华南区\\广州", nullptr}, "销售代表"},
    {"sunli", "孙丽", 1, "销售代表", 5, {"\\销售部\\华南区\\深圳", nullptr}, "销售代表"},
    {"mahui", "马辉", 0, "销售代表", 5, {"\\销售部\\华北区", nullptr}, "销售代表"},
    {"zhuxia", "朱霞", 1, "研发总监", 2, {"\\研发中心", "\\总部\\总经理办公室"}, "部门经理"},
    {"hutao", "胡涛", 0, "架构师", 3, {"\\研发中心\\平台组", nullptr}, "研发工程师"},
    {"guoyan", "郭艳", 1, "工程师", 4, {"\\研发中心\\平台组", nullptr}, "研发工程师"},
    {"linfeng", "林峰", 0, "工程师", 4, {"\\研发中心\\客户端组", nullptr}, "研发工程师"},
    {"heyu", "何雨", 1, "工程师", 4, {"\\研发中心\\客户端组", "\\研发中心\\测试组"}, "研发工程师"},
    {"gaopeng", "高鹏", 0, "测试工程师", 4, {"\\研发中心\\测试组", nullptr}, "研发工程师"},
    {"luoxin", "罗欣", 1, "实习生", 6, {"\\研发中心\\测试组", nullptr}, nullptr},
};

struct DemoRole {
    const char* name;
    const char* description;
    // Rights set to allowed; the role is also given every other right, denied.
    std::array<const char*, 4> allowed;
};

constexpr DemoRole kDemoRoles[] = {
    {"部门经理",
     "管理本部门人员，可向本部门发送广播",
     {"RIGHT_INNER_SEND_BROADCAST_MSG_ONLY_CURRENT_DEPT", "RIGHT_INNER_LAUNCH_CONVERSATION_N",
      "RIGHT_OUT_SEND_FILE_NOLIMIT", "RIGHT_INNER_SEND_SMS"}},
    {"销售代表",
     "对外联系客户",
     {"RIGHT_OUT_CREATE_MULTI_SESSION", "RIGHT_OUT_SEND_FILE_LIMIT", "RIGHT_INNER_SEND_SMS",
      nullptr}},
    {"研发工程师",
     "内部协作，点对点传输文件",
     {"RIGHT_INNER_SEND_FILE_BYP2P", "RIGHT_INNER_SEND_FILE_N(M)", "RIGHT_INNER_REMOTE_LOGON",
      nullptr}},
};

// Names for the large organisation: common characters, all within GBK.
constexpr const char* kTopNames[] = {"总部",         "销售中心",     "研发中心", "市场中心",
                                     "财务中心",     "人力资源中心", "生产中心", "物流中心",
                                     "客户服务中心", "信息中心"};
constexpr const char* kSecondNames[] = {"规划部", "运营部", "质量部", "采购部", "技术部",
                                        "支持部", "培训部", "行政部", "法务部", "审计部"};
constexpr const char* kSurnames[] = {"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴",
                                     "周", "徐", "孙", "马", "朱", "胡", "郭", "何", "高",
                                     "林", "罗", "郑", "梁", "谢", "宋", "唐", "许", "韩"};
constexpr const char* kGivenNames[] = {
    "伟", "芳", "娜", "敏", "静",   "丽", "强", "磊", "军",   "洋",   "勇",   "艳",   "杰",
    "娟", "涛", "明", "超", "秀英", "霞", "平", "刚", "桂英", "建华", "志强", "海燕", "晓东"};
constexpr const char* kPositions[] = {"职员", "工程师", "高级工程师", "主管",
                                      "经理", "专员",   "助理",       "总监"};

template <class T, size_t N>
constexpr size_t Count(const T (&)[N]) {
    return N;
}

std::string Padded(int64_t value, int width) {
    std::string text = std::to_string(value);
    if (static_cast<int>(text.size()) < width) text.insert(0, width - text.size(), '0');
    return text;
}

}  // namespace

DemoSummary GenerateDemo(ImRoot& root) {
    ImDeptManager& depts = root.GetDeptManager();
    ImUserManager& users = root.GetUserManager();
    ImRoleManager& roles = root.GetRoleManager();
    if (!depts.GetChildDepts("").ends_with("<Departments></Departments>")) {
        RequireEmpty(1, 0);
    }
    for (const DemoUser& user : kDemoUsers) {
        if (users.IsUserExist(user.account)) RequireEmpty(0, 1);
    }

    DemoSummary summary;
    for (const auto& dept : kDemoDepts) {
        depts.AddDept(dept[0], dept[1]);
        ++summary.departments;
    }
    for (const DemoRole& role : kDemoRoles) {
        roles.AddRole(role.name, role.description);
        ++summary.roles;
        for (const RightDefinition& right : kRights) {
            bool allowed = false;
            for (const char* identity : role.allowed) {
                if (identity && right.identity == identity) allowed = true;
            }
            roles.AddRightToRole(role.name, std::string(right.identity));
            roles.SetRoleRight(role.name, std::string(right.identity), allowed ? 0 : 1,
                               allowed ? 1 : 0);
        }
    }
    for (const DemoUser& user : kDemoUsers) {
        users.AddUser(user.account, 0);
        users.SetUserPassword(user.account, kDemoPassword);
        const std::string account = user.account;
        users.SetUserBasicInfo(
            account, user.name, user.gender, "1390000" + Padded(summary.users + 1, 4),
            account + "@demo.example.cn", "021-6000" + Padded(summary.users + 1, 4), 0);
        UserDetail detail = users.GetUserDetail(account);
        detail.Position() = user.position;
        detail.Level() = user.level;
        users.SetUserDetail(account, detail);
        for (const char* dept : user.depts) {
            if (dept) depts.AddUserToDept(account, "", dept, 0);
        }
        if (user.role) roles.AddUserToRole(account, user.role);
        summary.accounts.push_back(account);
        ++summary.users;
    }
    return summary;
}

LargeSummary GenerateLarge(const std::filesystem::path& installDir, const LargeOptions& options) {
    constexpr int kTop = 10;
    constexpr int kSecondPerTop = 10;
    constexpr int kSecond = kTop * kSecondPerTop;
    const int third = options.departments - kTop - kSecond;
    if (third < 1) Refuse("the large organisation needs at least 111 departments");
    if (options.users < options.bigDepartmentUsers || options.bigDepartmentUsers < 0 ||
        options.usersPerDepartment < 1) {
        Refuse("the big department cannot have more users than there are");
    }
    const int64_t spread = options.users - options.bigDepartmentUsers;
    if (spread > static_cast<int64_t>(third - 1) * options.usersPerDepartment) {
        Refuse("too many users for the departments at the bottom level");
    }
    const std::string hash = options.password.empty() ? "" : HashPassword(options.password);

    VexDatabase db(ImDatabasePath(installDir));
    return db.Write([&](sqlite::Connection& c) {
        RequireEmpty(sqlite::QueryInt(c, "SELECT COUNT(*) FROM vex_dept").value_or(0),
                     sqlite::QueryInt(c, "SELECT COUNT(*) FROM vex_user").value_or(0));
        LargeSummary summary;
        std::vector<std::pair<int64_t, std::string>> seconds;  // id, path
        std::vector<std::pair<int64_t, std::string>> thirds;

        auto addDept = [&](int64_t parent, const std::string& name, int64_t sort) {
            c.Prepare("INSERT INTO vex_dept(PDeptID, DeptName, SortID) VALUES(?, ?, ?)")
                .Bind(1, parent)
                .Bind(2, name)
                .Bind(3, sort)
                .Run();
            ++summary.departments;
            return c.LastInsertRowId();
        };
        for (int t = 0; t < kTop; ++t) {
            const std::string topPath = std::string("\\") + kTopNames[t];
            int64_t top = addDept(0, kTopNames[t], (t + 1) * kSortStep);
            for (int s = 0; s < kSecondPerTop; ++s) {
                int64_t id = addDept(top, kSecondNames[s], (s + 1) * kSortStep);
                seconds.emplace_back(id, topPath + "\\" + kSecondNames[s]);
            }
        }
        // Bottom level: round-robin over the second level, so each gets its share.
        std::vector<int> childCount(seconds.size(), 0);
        for (int i = 0; i < third; ++i) {
            const size_t parent = static_cast<size_t>(i) % seconds.size();
            const int number = ++childCount[parent];
            const std::string name = "项目组" + Padded(number, 3);
            int64_t id = addDept(seconds[parent].first, name, number * kSortStep);
            thirds.emplace_back(id, seconds[parent].second + "\\" + name);
        }

        const int64_t userRole = sqlite::QueryInt(c,
                                                  "SELECT RoleID FROM vex_role WHERE "
                                                  "RoleName = 'User'")
                                     .value_or(0);
        int64_t uin = sqlite::QueryInt(c, "SELECT Value FROM vex_meta WHERE Key = 'NextUin'")
                          .value_or(kFirstUin);
        auto capacityOf = [&](size_t index) {
            return index == 0 ? options.bigDepartmentUsers : options.usersPerDepartment;
        };
        size_t deptIndex = 0;
        int inDept = 0;
        for (int n = 1; n <= options.users; ++n) {
            while (inDept >= capacityOf(deptIndex)) {
                ++deptIndex;
                inDept = 0;
            }
            const std::string account = "u" + Padded(n, 6);
            const std::string name = std::string(kSurnames[n % Count(kSurnames)]) +
                                     kGivenNames[(n / Count(kSurnames)) % Count(kGivenNames)];
            c.Prepare(
                 "INSERT INTO vex_user(Account, Uin, PasswordHash, Name, Gender, Mobile, Email, "
                 "Phone, Detail1, DetailText10, DetailLevel) "
                 "VALUES(?, ?, ?, ?, ?, ?, ?, ?, -1, ?, ?)")
                .Bind(1, account)
                .Bind(2, uin++)
                .Bind(3, hash)
                .Bind(4, name)
                .Bind(5, n % 2)
                .Bind(6, "139" + Padded(n, 8))
                .Bind(7, account + "@example.cn")
                .Bind(8, "010-" + Padded(n % 100000000, 8))
                .Bind(9, kPositions[n % Count(kPositions)])
                .Bind(10, 1 + n % 9)
                .Run();
            const int64_t userId = c.LastInsertRowId();
            c.Prepare("INSERT INTO vex_dept_user(DeptID, UserID) VALUES(?, ?)")
                .Bind(1, thirds[deptIndex].first)
                .Bind(2, userId)
                .Run();
            c.Prepare("INSERT INTO vex_user_role(UserID, RoleID) VALUES(?, ?)")
                .Bind(1, userId)
                .Bind(2, userRole)
                .Run();
            ++inDept;
            ++summary.users;
            if (n % (options.users / 16 + 1) == 1) summary.sampleAccounts.push_back(account);
        }
        c.Prepare("INSERT OR REPLACE INTO vex_meta(Key, Value) VALUES('NextUin', ?)")
            .Bind(1, uin)
            .Run();

        summary.bigDepartment = thirds[0].second;
        summary.smallDepartment = thirds.size() > 1 ? thirds[1].second : thirds[0].second;
        summary.parentWithChildren = seconds[0].second;
        return summary;
    });
}

}  // namespace warden::vexdir
