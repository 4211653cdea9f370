#include <gtest/gtest.h>

#include <set>

#include "tests/directory/ExpectImError.h"
#include "tests/directory/XmlRead.h"
#include "tests/support/TempDir.h"
#include "vexdir/Generator.h"
#include "vexdir/VexDirectory.h"

namespace warden {
namespace {

TEST(GeneratorTest, LargeOrganisationHasTheDescribedShape) {
    test::TempDir dir;
    vexdir::LargeOptions options;
    options.departments = 150;
    options.users = 700;
    options.bigDepartmentUsers = 100;
    options.usersPerDepartment = 25;
    auto summary = vexdir::GenerateLarge(dir.Path(), options);
    EXPECT_EQ(summary.departments, 150);
    EXPECT_EQ(summary.users, 700);

    auto root = OpenVexDirectory(dir.Path());
    auto& depts = root->GetDeptManager();
    EXPECT_EQ(test::DeptNames(depts.GetChildDepts("")).size(), 10u);
    EXPECT_EQ(test::UserNames(depts.GetDeptUsers(summary.bigDepartment)).size(), 100u);
    EXPECT_EQ(test::UserNames(depts.GetDeptUsers(summary.smallDepartment)).size(), 25u);

    // Every department is reachable by path, and every user sits in one of them.
    int departments = 0;
    std::set<std::string> members;
    std::vector<std::string> pending = {""};
    while (!pending.empty()) {
        std::string path = pending.back();
        pending.pop_back();
        for (const auto& name : test::DeptNames(depts.GetChildDepts(path))) {
            ++departments;
            pending.push_back(path + "\\" + name);
            for (const auto& user : test::UserNames(depts.GetDeptUsers(path + "\\" + name))) {
                EXPECT_TRUE(members.insert(user).second) << user << " listed twice";
            }
        }
    }
    EXPECT_EQ(departments, 150);
    EXPECT_EQ(members.size(), 700u);

    // Generated users behave like any other: unique uins, new ones continue after them.
    const std::string& sample = summary.sampleAccounts.at(1);
    EXPECT_EQ(test::RoleNames(root->GetRoleManager().GetUserRoles(sample)),
              std::vector<std::string>{"User"});
    root->GetUserManager().AddUser("newcomer", 0);
    EXPECT_GT(root->GetUserManager().GetUserUin("newcomer"),
              root->GetUserManager().GetUserUin(summary.sampleAccounts.back()));
    EXPECT_NE(root->GetUserManager().GetUserBasicInfo(sample).name, "");
}

TEST(GeneratorTest, RefusesImpossibleShapesAndNonEmptyDirectories) {
    test::TempDir dir;
    vexdir::LargeOptions tooFew;
    tooFew.departments = 110;
    EXPECT_IM_ERROR(im_code::kInvalidArgument, vexdir::GenerateLarge(dir.Path(), tooFew));
    vexdir::LargeOptions crowded;
    crowded.departments = 120;  // 10 at the bottom: 9 * 50 + 5000 < 100000
    EXPECT_IM_ERROR(im_code::kInvalidArgument, vexdir::GenerateLarge(dir.Path(), crowded));

    OpenVexDirectory(dir.Path())->GetDeptManager().AddDept("已有", "");
    vexdir::LargeOptions small;
    small.departments = 120;
    small.users = 50;
    small.bigDepartmentUsers = 5;
    small.usersPerDepartment = 5;
    EXPECT_IM_ERROR(im_code::kInvalidArgument, vexdir::GenerateLarge(dir.Path(), small));
    auto root = OpenVexDirectory(dir.Path());
    EXPECT_IM_ERROR(im_code::kInvalidArgument, vexdir::GenerateDemo(*root));
    EXPECT_EQ(test::DeptNames(root->GetDeptManager().GetChildDepts("")),
              std::vector<std::string>{"已有"});
}

TEST(GeneratorTest, DemoUsersCanLogInAndHoldTheirRoles) {
    test::TempDir dir;
    auto root = OpenVexDirectory(dir.Path());
    auto summary = vexdir::GenerateDemo(*root);
    ASSERT_GE(summary.accounts.size(), 10u);
    EXPECT_EQ(root->VerifyPassword(summary.accounts[0], vexdir::kDemoPassword), 0);
    EXPECT_NE(root->VerifyPassword(summary.accounts[0], "wrong"), 0);
    auto& depts = root->GetDeptManager();
    EXPECT_EQ(test::DeptNames(depts.GetChildDepts("")),
              (std::vector<std::string>{"总部", "销售部", "研发中心"}));
    EXPECT_EQ(test::DeptNames(depts.GetUserDepts("heyu")),
              (std::vector<std::string>{"研发中心\\客户端组", "研发中心\\测试组"}));
    EXPECT_EQ(test::RoleNames(root->GetRoleManager().GetUserRoles("heyu")),
              (std::vector<std::string>{"User", "研发工程师"}));
    EXPECT_EQ(root->GetUserManager().GetUserDetail("heyu").Position(), "工程师");
}

}  // namespace
}  // namespace warden
