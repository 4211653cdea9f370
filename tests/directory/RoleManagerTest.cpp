#include <gtest/gtest.h>

#include <pugixml.hpp>

#include "tests/directory/DirectoryBackends.h"
#include "tests/directory/ExpectImError.h"
#include "tests/directory/XmlRead.h"

namespace warden {
namespace {

using test::RoleNames;
using Names = std::vector<std::string>;

const Names kRightIdentities = {"RIGHT_INNER_SEND_SMS",
                                "RIGHT_INNER_LAUNCH_CONVERSATION_N",
                                "RIGHT_INNER_SEND_FILE_N(M)",
                                "RIGHT_INNER_SEND_FILE_BYP2P",
                                "RIGHT_INNER_SEND_BROADCAST_MSG",
                                "RIGHT_INNER_REMOTE_LOGON",
                                "RIGHT_INNER_SEND_BROADCAST_MSG_ONLY_CURRENT_DEPT",
                                "RIGHT_OUT_CREATE_MULTI_SESSION",
                                "RIGHT_OUT_SEND_FILE_LIMIT",
                                "RIGHT_OUT_SEND_FILE_NOLIMIT"};

struct RightSetting {
    std::string identity, deny, allow;
    bool operator==(const RightSetting&) const = default;
};

class RoleManagerTest : public test::DirectoryTest {
  protected:
    RoleManagerTest() {
        root->GetUserManager().AddUser("u1", 0);
        root->GetUserManager().AddUser("u2", 0);
    }

    std::vector<RightSetting> Rights(const std::string& role) {
        pugi::xml_document doc;
        EXPECT_TRUE(doc.load_string(roles->GetRoleRights(role).c_str()));
        std::vector<RightSetting> out;
        for (auto item : doc.select_nodes("//Item")) {
            auto node = item.node();
            out.push_back({node.attribute("Identity").value(), node.attribute("Deny").value(),
                           node.attribute("Allow").value()});
        }
        return out;
    }

    // The description as a reader that only cuts text would find it: after
    // RoleDescribe=, without the opening quote and the text's last four characters.
    static std::string CutDescription(const std::string& info) {
        const std::string anchor = "RoleDescribe=";
        auto at = info.find(anchor);
        if (at == std::string::npos) return "<no anchor>";
        std::string piece = info.substr(at + anchor.size() + 1);
        return piece.size() >= 4 ? piece.substr(0, piece.size() - 4) : "<too short>";
    }

    static std::string ParsedDescription(const std::string& info) {
        pugi::xml_document doc;
        EXPECT_TRUE(doc.load_string(info.c_str())) << info;
        return doc.document_element().attribute("RoleDescribe").value();
    }

    ImRoleManager* roles = &root->GetRoleManager();
};

TEST_P(RoleManagerTest, BuiltInRolesExistAndNewUsersHoldUser) {
    EXPECT_EQ(roles->GetAllRoles(),
              "<VEXSRoleList><Item RoleName=\"User\"></Item><Item RoleName=\"管理员\"></Item>"
              "</VEXSRoleList>");
    EXPECT_EQ(RoleNames(roles->GetUserRoles("u1")), Names{"User"});
    EXPECT_IM_ERROR(im_code::kNotFound, roles->GetUserRoles("ghost"));
}

TEST_P(RoleManagerTest, DescriptionIsFollowedByExactlyFourCharacters) {
    roles->AddRole("审计员", "负责 审计");
    const std::string info = roles->GetRoleDescription("审计员");
    EXPECT_EQ(CutDescription(info), "负责 审计");
    EXPECT_EQ(ParsedDescription(info), "负责 审计");

    roles->AddRole("空", "");
    EXPECT_EQ(CutDescription(roles->GetRoleDescription("空")), "");

    const std::string awkward = "say \"hi\" & <bye>\nsecond line";
    roles->AddRole("awkward", awkward);
    EXPECT_EQ(ParsedDescription(roles->GetRoleDescription("AWKWARD")), awkward);
    EXPECT_IM_ERROR(im_code::kNotFound, roles->GetRoleDescription("ghost"));
}

TEST_P(RoleManagerTest, AddingAnExistingRoleFailsInAnyLetterCase) {
    roles->AddRole("Sales", "a");
    EXPECT_IM_ERROR(im_code::kAlreadyExists, roles->AddRole("SALES", "b"));
    EXPECT_IM_ERROR(im_code::kAlreadyExists, roles->AddRole("user", "b"));
    EXPECT_IM_ERROR(im_code::kInvalidArgument, roles->AddRole("", "b"));
    EXPECT_EQ(ParsedDescription(roles->GetRoleDescription("Sales")), "a");
}

TEST_P(RoleManagerTest, DeletingARoleTakesItFromEveryUser) {
    roles->AddRole("R", "");
    roles->AddUserToRole("u1", "R");
    roles->AddUserToRole("u2", "r");
    roles->SetRoleRight("R", "RIGHT_INNER_SEND_SMS", 1, 0);
    roles->DeleteRole("R");
    EXPECT_EQ(RoleNames(roles->GetUserRoles("u1")), Names{"User"});
    EXPECT_EQ(RoleNames(roles->GetUserRoles("u2")), Names{"User"});
    // A new role of the same name starts with nothing of the old one's.
    roles->AddRole("R", "");
    EXPECT_TRUE(Rights("R").empty());
    EXPECT_EQ(RoleNames(roles->GetUserRoles("u1")), Names{"User"});
    EXPECT_IM_ERROR(im_code::kNotFound, roles->DeleteRole("ghost"));
}

TEST_P(RoleManagerTest, BuiltInRolesCannotBeDeletedOrRenamed) {
    EXPECT_IM_ERROR(im_code::kInvalidArgument, roles->DeleteRole("User"));
    EXPECT_IM_ERROR(im_code::kInvalidArgument, roles->DeleteRole("user"));
    EXPECT_IM_ERROR(im_code::kInvalidArgument, roles->DeleteRole("管理员"));
    EXPECT_IM_ERROR(im_code::kInvalidArgument, roles->UpdateRole("User", "Users", ""));
    EXPECT_IM_ERROR(im_code::kInvalidArgument, roles->UpdateRole("管理员", "管理员1", ""));
    roles->UpdateRole("管理员", "管理员", "新的描述");
    EXPECT_EQ(ParsedDescription(roles->GetRoleDescription("管理员")), "新的描述");
    EXPECT_EQ(RoleNames(roles->GetAllRoles()), (Names{"User", "管理员"}));
}

TEST_P(RoleManagerTest, RenameKeepsUsersAndRightsAndRefusesAnotherRolesName) {
    roles->AddRole("Old", "d");
    roles->AddRole("Other", "");
    roles->AddUserToRole("u1", "Old");
    roles->SetRoleRight("Old", "RIGHT_OUT_SEND_FILE_LIMIT", 0, 1);

    EXPECT_IM_ERROR(im_code::kAlreadyExists, roles->UpdateRole("Old", "other", "x"));
    EXPECT_IM_ERROR(im_code::kNotFound, roles->UpdateRole("Ghost", "G", "x"));
    EXPECT_EQ(ParsedDescription(roles->GetRoleDescription("Old")), "d");

    // The two-step rename a case change goes through, and the case change itself.
    roles->UpdateRole("Old", "Old1", "d2");
    roles->UpdateRole("Old1", "OLD", "d3");
    EXPECT_EQ(RoleNames(roles->GetAllRoles()), (Names{"User", "管理员", "OLD", "Other"}));
    roles->UpdateRole("OLD", "old", "d4");
    EXPECT_EQ(RoleNames(roles->GetUserRoles("u1")), (Names{"User", "old"}));
    EXPECT_EQ(Rights("old"),
              (std::vector<RightSetting>{{"RIGHT_OUT_SEND_FILE_LIMIT", "false", "true"}}));
    EXPECT_EQ(ParsedDescription(roles->GetRoleDescription("old")), "d4");
}

TEST_P(RoleManagerTest, UserRoleMembership) {
    roles->AddRole("A", "");
    roles->AddRole("B", "");
    roles->AddUserToRole("u1", "B");
    roles->AddUserToRole("u1", "A");
    roles->AddUserToRole("u1", "a");  // held already: no change
    EXPECT_EQ(roles->GetUserRoles("u1"),
              "<VEXSRoleList><Item RoleName=\"User\"></Item><Item RoleName=\"A\"></Item>"
              "<Item RoleName=\"B\"></Item></VEXSRoleList>");
    roles->RemoveUserFromRole("u1", "A");
    EXPECT_EQ(RoleNames(roles->GetUserRoles("u1")), (Names{"User", "B"}));
    EXPECT_IM_ERROR(im_code::kNotFound, roles->RemoveUserFromRole("u1", "A"));
    EXPECT_IM_ERROR(im_code::kNotFound, roles->AddUserToRole("ghost", "A"));
    EXPECT_IM_ERROR(im_code::kNotFound, roles->AddUserToRole("u1", "ghost"));
    roles->RemoveUserFromRole("u1", "User");
    roles->RemoveUserFromRole("u1", "B");
    EXPECT_EQ(roles->GetUserRoles("u1"), "<VEXSRoleList></VEXSRoleList>");
}

TEST_P(RoleManagerTest, RightInformationListsIdentityNameAndDefaultInThatOrder) {
    for (const auto& identity : kRightIdentities) {
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_string(root->GetRightInfo(identity).c_str()));
        auto items = doc.select_nodes("//Item");
        ASSERT_EQ(items.size(), 3u) << identity;
        EXPECT_STREQ(items[0].node().attribute("key").value(), "Identity");
        EXPECT_EQ(std::string(items[0].node().text().get()), identity);
        EXPECT_STREQ(items[1].node().attribute("key").value(), "Name");
        const std::string name = items[1].node().text().get();
        EXPECT_FALSE(name.empty());
        EXPECT_EQ(name.find_first_of("|^"), std::string::npos);  // travels inside lists
        EXPECT_GE(static_cast<unsigned char>(name[0]), 0xE0u) << "a Chinese display name";
        const std::string allow = items[2].node().text().get();
        EXPECT_TRUE(allow == "1" || allow == "0") << allow;
    }
    EXPECT_IM_ERROR(im_code::kNotFound, root->GetRightInfo("RIGHT_UNKNOWN"));
}

TEST_P(RoleManagerTest, RoleRightsAddAndSet) {
    roles->AddRole("R", "");
    EXPECT_EQ(roles->GetRoleRights("R"), "<RoleRights></RoleRights>");
    roles->AddRightToRole("R", "RIGHT_OUT_SEND_FILE_NOLIMIT");  // default: not allowed
    roles->AddRightToRole("R", "RIGHT_INNER_SEND_SMS");         // default: allowed
    EXPECT_EQ(roles->GetRoleRights("R"),
              "<RoleRights><Item Identity=\"RIGHT_INNER_SEND_SMS\" Deny=\"false\" "
              "Allow=\"true\"/><Item Identity=\"RIGHT_OUT_SEND_FILE_NOLIMIT\" Deny=\"false\" "
              "Allow=\"false\"/></RoleRights>");

    roles->SetRoleRight("R", "RIGHT_INNER_SEND_SMS", 1, 0);
    roles->AddRightToRole("R", "RIGHT_INNER_SEND_SMS");          // held: the setting stays
    roles->SetRoleRight("R", "RIGHT_INNER_REMOTE_LOGON", 0, 1);  // gained by setting
    EXPECT_EQ(Rights("R"),
              (std::vector<RightSetting>{{"RIGHT_INNER_SEND_SMS", "true", "false"},
                                         {"RIGHT_INNER_REMOTE_LOGON", "false", "true"},
                                         {"RIGHT_OUT_SEND_FILE_NOLIMIT", "false", "false"}}));
    // Deny then allow, as an entry with both flags is applied, ends allowed.
    roles->SetRoleRight("R", "RIGHT_INNER_SEND_SMS", 1, 0);
    roles->SetRoleRight("R", "RIGHT_INNER_SEND_SMS", 0, 1);
    EXPECT_EQ(Rights("R")[0], (RightSetting{"RIGHT_INNER_SEND_SMS", "false", "true"}));

    EXPECT_IM_ERROR(im_code::kNotFound, roles->AddRightToRole("R", "RIGHT_NONE"));
    EXPECT_IM_ERROR(im_code::kNotFound, roles->SetRoleRight("ghost", "RIGHT_INNER_SEND_SMS", 1, 0));
    EXPECT_IM_ERROR(im_code::kNotFound, roles->GetRoleRights("ghost"));
}

TEST_P(RoleManagerTest, BuiltInRolesStartWithEveryRight) {
    auto user = Rights("User");
    auto admin = Rights("管理员");
    ASSERT_EQ(user.size(), kRightIdentities.size());
    ASSERT_EQ(admin.size(), kRightIdentities.size());
    for (size_t i = 0; i < kRightIdentities.size(); ++i) {
        EXPECT_EQ(user[i].identity, kRightIdentities[i]);
        EXPECT_NE(user[i].deny, user[i].allow);  // exactly one of the two
        EXPECT_EQ(admin[i], (RightSetting{kRightIdentities[i], "false", "true"}));
    }
}

INSTANTIATE_ON_EVERY_BACKEND(RoleManagerTest);

}  // namespace
}  // namespace warden
