#include <gtest/gtest.h>
#include <sys/stat.h>

#include <future>
#include <thread>

#include "tests/support/TempDir.h"
#include "tests/vexdir/ExpectImError.h"
#include "tests/vexdir/XmlRead.h"
#include "vexdir/VexDirectory.h"

namespace warden {
namespace {

class UnitOfWorkTest : public ::testing::Test {
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

    test::TempDir dir;
    std::shared_ptr<ImRoot> root = OpenVexDirectory(dir.Path());
};

// The steps of an add see each other; nobody else sees them before the
// commit, and after it everybody does.
TEST_F(UnitOfWorkTest, StepsSeeEachOtherAndOthersSeeOnlyTheCommit) {
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
TEST_F(UnitOfWorkTest, UncommittedUnitLeavesNothingAndAFailedStepUndoesOnlyItself) {
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

// Other threads' writes wait for the unit rather than slip into it.
TEST_F(UnitOfWorkTest, OtherWritersWaitForTheUnit) {
    auto unit = root->BeginUnitOfWork();
    root->GetUserManager().AddUser("wang", 0);
    auto other = std::async(std::launch::async, [&] {
        root->GetUserManager().AddUser("li", 0);
        return root->GetUserManager().IsUserExist("wang");
    });
    EXPECT_EQ(other.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    unit.reset();  // rolled back
    EXPECT_FALSE(other.get());
    EXPECT_TRUE(root->GetUserManager().IsUserExist("li"));
    EXPECT_IM_ERROR(im_code::kFail, {
        auto first = root->BeginUnitOfWork();
        auto second = root->BeginUnitOfWork();
    });
}

// The database holds password hashes: only its owner may read it.
TEST_F(UnitOfWorkTest, DatabaseFilesAreTheOwnersAlone) {
    for (const char* name : {"vexdb.db", "vexdb.db-wal", "vexdb.db-shm"}) {
        struct stat st {};
        ASSERT_EQ(::stat((dir.Path() / "db" / name).c_str(), &st), 0) << name;
        EXPECT_EQ(st.st_mode & 0777, 0600u) << name;
    }
}

}  // namespace
}  // namespace warden
