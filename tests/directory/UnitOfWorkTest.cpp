#include <gtest/gtest.h>

#include <future>

#include "tests/directory/DirectoryBackends.h"
#include "tests/directory/ExpectImError.h"
#include "tests/directory/XmlRead.h"

namespace warden {
namespace {

class UnitOfWorkTest : public test::DirectoryTest {
  protected:
    UnitOfWorkTest() {
        root->GetDeptManager().AddDept("销售部", "");
        root->GetUserManager().AddUser("zhang", 0);
    }

    // Whether another thread, outside the unit, sees `user`.
    bool SeenElsewhere(const std::string& user) {
        return std::async(std::launch::async,
                          [&] { return root->GetUserManager().IsUserExist(user); })
            .get();
    }
};

// The steps of an add see each other; nobody else sees them before the
// commit, and after it everybody does.
TEST_P(UnitOfWorkTest, StepsSeeEachOtherAndOthersSeeOnlyTheCommit) {
    auto unit = root->BeginUnitOfWork();
    ImUserManager& users = root->GetUserManager();
    users.AddUser("wang", 0);
    users.SetUserPassword("wang", "secret");
    users.SetUserBasicInfo("wang", "王五", 1, "137", "w@corp.cn", "021", 0);
    UserDetail detail = users.GetUserDetail("wang");
    detail.Position() = "经理";
    users.SetUserDetail("wang", detail);
    root->GetDeptManager().AddUserToDept("wang", "", "\\销售部", 0);
    EXPECT_EQ(users.GetUserBasicInfo("wang").name, "王五");
    EXPECT_FALSE(SeenElsewhere("wang"));

    unit->Commit();
    EXPECT_TRUE(SeenElsewhere("wang"));
    // The unit is over: the thread's own calls stand alone again.
    users.SetUserBasicInfo("zhang", "张三", 0, "", "", "", 0);
    unit.reset();
    EXPECT_EQ(users.GetUserBasicInfo("zhang").name, "张三");
    EXPECT_EQ(root->VerifyPassword("wang", "secret"), 0);
    EXPECT_EQ(test::DeptNames(root->GetDeptManager().GetUserDepts("wang")),
              std::vector<std::string>{"销售部"});
}

// A unit that ends without a commit leaves nothing, even of steps that
// succeeded; a step that fails inside it undoes only itself.
TEST_P(UnitOfWorkTest, UncommittedUnitLeavesNothingAndAFailedStepUndoesOnlyItself) {
    {
        auto unit = root->BeginUnitOfWork();
        root->GetUserManager().AddUser("wang", 0);
        root->GetDeptManager().AddUserToDept("wang", "", "\\销售部", 0);
    }
    EXPECT_FALSE(root->GetUserManager().IsUserExist("wang"));

    auto unit = root->BeginUnitOfWork();
    root->GetUserManager().AddUser("li", 0);
    EXPECT_IM_ERROR(im_code::kAlreadyExists, root->GetUserManager().AddUser("zhang", 0));
    EXPECT_IM_ERROR(im_code::kNotFound, root->GetDeptManager().AddUserToDept("li", "", "\\无", 0));
    root->GetDeptManager().AddUserToDept("li", "", "\\销售部", 0);
    unit->Commit();
    EXPECT_EQ(test::UserNames(root->GetDeptManager().GetDeptUsers("\\销售部")),
              std::vector<std::string>{"li"});
}

INSTANTIATE_ON_EVERY_BACKEND(UnitOfWorkTest);

}  // namespace
}  // namespace warden
