#include "bench/console/DemoDirectory.h"

namespace warden::bench {

namespace {

const char* const kSurnames[] = {"王", "李", "张", "刘", "陈", "杨", "赵", "黄", "周", "吴"};
const char* const kGiven[] = {"伟", "芳", "娜", "敏", "静", "磊",
                              "强", "洋", "艳", "军", "杰", "娟"};
const char* const kPositions[] = {"经理", "工程师", "销售代表", "主管", "助理", "顾问"};

void AddDept(DemoDirectory& dir, const std::string& parent, const std::string& name) {
    dir.children[parent].push_back(name);
    dir.children[parent + "\\" + name];
}

void AddUser(DemoDirectory& dir, const std::string& dept, int number, const std::string& account) {
    DemoUser user;
    user.account = account;
    user.name = std::string(kSurnames[number % 10]) + kGiven[(number / 10) % 12] +
                (number % 3 == 0 ? kGiven[(number / 7) % 12] : "");
    user.gender = number % 2 == 0 ? "男" : "女";
    user.mobile = "139" + std::to_string(10000000 + number * 7919 % 89999999);
    user.email = account + "@example.com";
    user.phone = "010-" + std::to_string(60000000 + number);
    user.uin = 10000 + number;
    user.position = kPositions[number % 6];
    user.level = number % 10;
    user.roles = number % 4 == 0 ? "=User=部门经理" : "=User";
    dir.members[dept].push_back(account);
    dir.users[account] = user;
}

}  // namespace

DemoDirectory MakeDemoDirectory(int largeDeptUsers) {
    DemoDirectory dir;
    for (const char* top : {"销售部", "研发部", "市场部", "人力资源部", "财务部", "大客户部"}) {
        AddDept(dir, "", top);
    }
    for (const char* region : {"华东区", "华北区", "华南区"}) AddDept(dir, "\\销售部", region);
    AddDept(dir, "\\销售部\\华东区", "上海");
    AddDept(dir, "\\销售部\\华东区", "杭州");
    for (const char* group : {"一组", "二组", "测试组"}) AddDept(dir, "\\研发部", group);

    const std::pair<const char*, const char*> staff[] = {
        {"\\销售部", "wangwei"},
        {"\\销售部", "lina"},
        {"\\销售部\\华东区", "zhaolei"},
        {"\\销售部\\华东区", "chenjing"},
        {"\\销售部\\华北区", "liuyang"},
        {"\\研发部", "zhangsan"},
        {"\\研发部", "lisi"},
        {"\\研发部\\一组", "wangwu"},
        {"\\研发部\\一组", "zhouqiang"},
        {"\\研发部\\一组", "wujun"},
        {"\\研发部\\二组", "huangyan"},
        {"\\市场部", "yangfang"},
        {"\\人力资源部", "sunli"},
        {"\\财务部", "qianmin"},
    };
    int number = 1;
    for (const auto& [dept, account] : staff) AddUser(dir, dept, number++, account);
    for (int i = 0; i < largeDeptUsers; ++i) {
        AddUser(dir, "\\大客户部", 100 + i, "kh" + std::to_string(100000 + i));
    }
    dir.passwords["zhangsan"] = "123";
    dir.managedDepts["zhangsan"] = "\\研发部;\\销售部\\华东区;";
    return dir;
}

}  // namespace warden::bench
