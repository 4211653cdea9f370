#include <gtest/gtest.h>

#include "directory/ImError.h"
#include "tests/directory/DirectoryBackends.h"
#include "tests/directory/XmlRead.h"

namespace warden {
namespace {

using test::DeptNames;
using test::UserNames;
using Names = std::vector<std::string>;

class DeptManagerTest : public test::DirectoryTest {
  protected:
    ImDeptManager* depts = &root->GetDeptManager();
    ImUserManager* users = &root->GetUserManager();

    Names Children(const std::string& path) { return DeptNames(depts->GetChildDepts(path)); }
    Names Members(const std::string& path) { return UserNames(depts->GetDeptUsers(path)); }
    Names UserDepts(const std::string& user) { return DeptNames(depts->GetUserDepts(user)); }

    // Runs `call`, which must fail with `code`.
    template <class Call>
    void ExpectFailure(uint32_t code, Call call) {
        try {
            call();
            ADD_FAILURE() << "no ImError";
        } catch (const ImError& e) {
            EXPECT_EQ(e.Code(), code) << e.Description();
        }
    }
};

TEST_P(DeptManagerTest, ChildrenComeInInsertionOrderUnderEveryPathSpelling) {
    EXPECT_EQ(depts->AddDept("销售部", ""), 0);
    EXPECT_EQ(depts->AddDept("研发部", "\\"), 0);
    depts->AddDept("华东区", "\\销售部");
    depts->AddDept("华南区", "销售部");
    depts->AddDept("上海", "\\销售部\\华东区\\");

    EXPECT_EQ(Children(""), (Names{"销售部", "研发部"}));
    EXPECT_EQ(Children("\\"), (Names{"销售部", "研发部"}));
    EXPECT_EQ(Children("\\销售部"), (Names{"华东区", "华南区"}));
    EXPECT_EQ(Children("销售部\\\\华东区\\"), (Names{"上海"}));
    EXPECT_EQ(Children("\\研发部"), Names{});
    EXPECT_TRUE(depts->IsDeptExist("\\销售部\\华东区\\上海"));
    EXPECT_FALSE(depts->IsDeptExist("\\销售部\\上海"));
    EXPECT_FALSE(depts->IsDeptExist(""));
    EXPECT_FALSE(depts->IsDeptExist("\\"));
}

TEST_P(DeptManagerTest, ListsHaveTheExactShapeCallersCutUp) {
    EXPECT_EQ(depts->GetChildDepts(""), "<Departments></Departments>");
    depts->AddDept("A", "");
    depts->AddDept("B", "");
    EXPECT_EQ(depts->GetChildDepts(""),
              "<Departments><Department Name=\"A\"/><Department Name=\"B\"/></Departments>");
    users->AddUser("u1", 0);
    depts->AddUserToDept("u1", "", "\\A", 0);
    EXPECT_EQ(depts->GetDeptUsers("\\A"), "<Users><User Name=\"u1\"/></Users>");
    EXPECT_EQ(depts->GetDeptUsers("\\B"), "<Users></Users>");
}

TEST_P(DeptManagerTest, AwkwardNamesComeBackIntactThroughAnXmlParser) {
    const Names names = {"a b",   "x\"y",          "R&D",        "<tag>", "it's",
                         " lead", "中文 名&\"<>'", "ＧＢＫ全角", "龘"};
    for (const auto& name : names) depts->AddDept(name, "");
    EXPECT_EQ(Children(""), names);
    for (const auto& name : names) {
        EXPECT_TRUE(depts->IsDeptExist("\\" + name)) << name;
        depts->AddDept("子", "\\" + name);
    }
    EXPECT_EQ(depts->GetChildDepts("\\R&D"),
              "<Departments><Department Name=\"子\"/></Departments>");
    const std::string raw = depts->GetChildDepts("");
    EXPECT_NE(raw.find("Name=\"R&amp;D\""), std::string::npos);
    EXPECT_NE(raw.find("Name=\"x&quot;y\""), std::string::npos);
    EXPECT_NE(raw.find("Name=\"&lt;tag&gt;\""), std::string::npos);
}

TEST_P(DeptManagerTest, RefusesNamesThatCannotBeStoredOrNamedByAPath) {
    ExpectFailure(im_code::kInvalidArgument, [&] { depts->AddDept("", ""); });
    ExpectFailure(im_code::kInvalidArgument, [&] { depts->AddDept("a\\b", ""); });
    ExpectFailure(im_code::kInvalidArgument, [&] { depts->AddDept("tab\there", ""); });
    ExpectFailure(im_code::kInvalidArgument, [&] { depts->AddDept("bad\xff", ""); });
    depts->AddDept("ok", "");
    ExpectFailure(im_code::kInvalidArgument, [&] { depts->ChangeDeptName("\\ok", "x\\y"); });
    EXPECT_EQ(Children(""), Names{"ok"});
}

TEST_P(DeptManagerTest, SiblingNamesAreUniqueInAnyLetterCase) {
    depts->AddDept("Sales", "");
    depts->AddDept("Team", "\\Sales");
    depts->AddDept("Team", "");  // same name under another parent is fine
    ExpectFailure(im_code::kAlreadyExists, [&] { depts->AddDept("sales", ""); });
    ExpectFailure(im_code::kAlreadyExists, [&] { depts->AddDept("TEAM", "\\Sales"); });
    ExpectFailure(im_code::kNotFound, [&] { depts->AddDept("X", "\\Nowhere"); });
    // Paths resolve in any letter case too.
    EXPECT_TRUE(depts->IsDeptExist("\\SALES\\team"));
    EXPECT_EQ(Children(""), (Names{"Sales", "Team"}));
}

TEST_P(DeptManagerTest, RenameRefusesASiblingsNameButAllowsACaseChange) {
    depts->AddDept("A", "");
    depts->AddDept("B", "");
    depts->AddDept("child", "\\A");
    ExpectFailure(im_code::kAlreadyExists, [&] { depts->ChangeDeptName("\\A", "b"); });
    ExpectFailure(im_code::kNotFound, [&] { depts->ChangeDeptName("\\C", "D"); });
    ExpectFailure(im_code::kInvalidArgument, [&] { depts->ChangeDeptName("", "D"); });
    EXPECT_EQ(Children(""), (Names{"A", "B"}));

    depts->ChangeDeptName("\\A", "a");
    depts->ChangeDeptName("\\B", "营销 部");
    EXPECT_EQ(Children(""), (Names{"a", "营销 部"}));
    EXPECT_EQ(Children("\\a"), Names{"child"});  // children follow the rename
}

TEST_P(DeptManagerTest, MoveRefusesOwnSubtreeAndNameClashesAndChangesNothingThen) {
    depts->AddDept("A", "");
    depts->AddDept("B", "\\A");
    depts->AddDept("C", "\\A\\B");
    depts->AddDept("B", "");
    ExpectFailure(im_code::kInvalidArgument, [&] { depts->MoveDept("\\A", "\\A"); });
    ExpectFailure(im_code::kInvalidArgument, [&] { depts->MoveDept("\\A", "\\A\\B\\C"); });
    ExpectFailure(im_code::kAlreadyExists, [&] { depts->MoveDept("\\A\\B", ""); });
    ExpectFailure(im_code::kNotFound, [&] { depts->MoveDept("\\A\\B", "\\Z"); });
    ExpectFailure(im_code::kNotFound, [&] { depts->MoveDept("\\Z", ""); });
    EXPECT_EQ(Children(""), (Names{"A", "B"}));
    EXPECT_EQ(Children("\\A\\B"), Names{"C"});

    depts->MoveDept("\\A\\B\\C", "");  // to the top level, after the others
    EXPECT_EQ(Children(""), (Names{"A", "B", "C"}));
    depts->MoveDept("\\A", "\\C");  // a whole subtree
    EXPECT_EQ(Children(""), (Names{"B", "C"}));
    EXPECT_TRUE(depts->IsDeptExist("\\C\\A\\B"));
    depts->MoveDept("\\C\\A", "\\C");  // to its own parent: nothing changes
    EXPECT_EQ(Children("\\C"), Names{"A"});
}

TEST_P(DeptManagerTest, DeleteRefusesNonEmptyAndMissingDepartments) {
    depts->AddDept("A", "");
    depts->AddDept("B", "\\A");
    users->AddUser("u", 0);
    depts->AddUserToDept("u", "", "\\A\\B", 0);

    ExpectFailure(im_code::kNotEmpty, [&] { depts->DeleteDept("\\A", 1); });
    ExpectFailure(im_code::kNotEmpty, [&] { depts->DeleteDept("\\A\\B", 1); });
    ExpectFailure(im_code::kNotFound, [&] { depts->DeleteDept("\\Z", 1); });
    ExpectFailure(im_code::kInvalidArgument, [&] { depts->DeleteDept("", 1); });
    EXPECT_TRUE(depts->IsDeptExist("\\A\\B"));

    depts->RemoveUserFromDept("u", "A\\B");
    EXPECT_EQ(depts->DeleteDept("\\A\\B", 1), 0);
    EXPECT_EQ(depts->DeleteDept("\\A", 0), 0);
    EXPECT_EQ(Children(""), Names{});
    EXPECT_TRUE(users->IsUserExist("u"));  // deleting a department keeps its former users
}

TEST_P(DeptManagerTest, UsersBelongToSeveralDepartmentsNamedByFullPath) {
    depts->AddDept("销售部", "");
    depts->AddDept("华东区", "\\销售部");
    depts->AddDept("研发部", "");
    users->AddUser("zhang", 0);
    users->AddUser("li", 0);
    depts->AddUserToDept("zhang", "", "\\销售部\\华东区", 0);
    depts->AddUserToDept("zhang", "", "\\研发部", 0);
    depts->AddUserToDept("zhang", "", "\\研发部", 0);  // already there: no change
    depts->AddUserToDept("li", "", "研发部", 0);

    EXPECT_EQ(UserDepts("zhang"), (Names{"销售部\\华东区", "研发部"}));
    EXPECT_EQ(Members("\\研发部"), (Names{"zhang", "li"}));
    EXPECT_EQ(Members(""), Names{});
    EXPECT_EQ(UserDepts("li"), Names{"研发部"});
    // A path from GetUserDepts (no leading "\") names the department again.
    depts->RemoveUserFromDept("zhang", UserDepts("zhang")[0]);
    EXPECT_EQ(UserDepts("zhang"), Names{"研发部"});
}

TEST_P(DeptManagerTest, AddUserToDeptMovesOrCopiesFromASourceDepartment) {
    depts->AddDept("A", "");
    depts->AddDept("B", "");
    depts->AddDept("C", "");
    users->AddUser("u", 0);
    depts->AddUserToDept("u", "", "\\A", 0);
    depts->AddUserToDept("u", "\\A", "\\B", 0);  // move
    EXPECT_EQ(UserDepts("u"), Names{"B"});
    depts->AddUserToDept("u", "\\B", "\\C", 1);  // copy
    EXPECT_EQ(UserDepts("u"), (Names{"B", "C"}));
    ExpectFailure(im_code::kNotFound, [&] { depts->AddUserToDept("u", "\\A", "\\C", 0); });
    EXPECT_EQ(UserDepts("u"), (Names{"B", "C"}));
}

TEST_P(DeptManagerTest, MembershipCallsOnMissingUsersOrDepartmentsFail) {
    depts->AddDept("A", "");
    users->AddUser("u", 0);
    ExpectFailure(im_code::kNotFound, [&] { depts->AddUserToDept("ghost", "", "\\A", 0); });
    ExpectFailure(im_code::kNotFound, [&] { depts->AddUserToDept("u", "", "\\Z", 0); });
    ExpectFailure(im_code::kInvalidArgument, [&] { depts->AddUserToDept("u", "", "", 0); });
    ExpectFailure(im_code::kNotFound, [&] { depts->RemoveUserFromDept("u", "\\A"); });
    ExpectFailure(im_code::kNotFound, [&] { depts->RemoveUserFromDept("ghost", "\\A"); });
    ExpectFailure(im_code::kNotFound, [&] { depts->GetUserDepts("ghost"); });
    ExpectFailure(im_code::kNotFound, [&] { depts->GetChildDepts("\\Z"); });
    ExpectFailure(im_code::kNotFound, [&] { depts->GetDeptUsers("\\Z"); });
}

TEST_P(DeptManagerTest, DeletingAUserTakesItOutOfItsDepartments) {
    depts->AddDept("A", "");
    users->AddUser("u", 0);
    users->AddUser("v", 0);
    depts->AddUserToDept("u", "", "\\A", 0);
    depts->AddUserToDept("v", "", "\\A", 0);
    users->DeleteUser("u");
    EXPECT_EQ(Members("\\A"), Names{"v"});
    users->DeleteUser("v");
    EXPECT_EQ(depts->DeleteDept("\\A", 1), 0);
}

INSTANTIATE_ON_EVERY_BACKEND(DeptManagerTest);

}  // namespace
}  // namespace warden
