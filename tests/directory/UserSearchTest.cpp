// What every back-end's ImUserManager::SearchUsers must do: what is found
// (every field, any ASCII case and only ASCII case, no match across two
// fields, two-character texts, the exact account first), what each user
// carries, that changes show at once, and what a search sees of concurrent
// writers.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "directory/ImError.h"
#include "ldapdir/LdapConnection.h"
#include "protocol/SplitList.h"
#include "tests/directory/DirectoryBackends.h"

namespace warden {
namespace {

class UserSearchTest : public test::DirectoryTest {
  protected:
    void AddUser(const std::string& account, const std::string& name, const std::string& mobile,
                 const std::string& phone, const std::string& email,
                 const std::vector<std::string>& depts) {
        Users().AddUser(account, 0);
        Users().SetUserBasicInfo(account, name, 0, mobile, email, phone, 0);
        for (const std::string& dept : depts) Depts().AddUserToDept(account, "", dept, 0);
    }

    // The accounts found, in the order found.
    std::vector<std::string> Find(const std::string& text, size_t most = 1000) {
        std::vector<std::string> accounts;
        Users().SearchUsers(text, [&](UserMatch&& match) {
            accounts.push_back(match.account);
            return accounts.size() < most;
        });
        return accounts;
    }
    std::set<std::string> FindSet(const std::string& text) {
        auto found = Find(text);
        return {found.begin(), found.end()};
    }

    ImUserManager& Users() { return root->GetUserManager(); }
    ImDeptManager& Depts() { return root->GetDeptManager(); }
};

TEST_P(UserSearchTest, FindsEveryFieldInAnyAsciiCaseAndNothingAcrossFields) {
    Depts().AddDept("销售部", "");
    Depts().AddDept("华东区", "\\销售部");
    Depts().AddDept("研发部", "");
    AddUser("ZhangWei", "张伟", "13912345678", "010-8888", "Zhang.Wei@Corp.cn",
            {"\\销售部\\华东区", "\\研发部"});
    AddUser("liqiang", "李强Lee", "13800001111", "021-5555", "lq@corp.cn", {"\\研发部"});
    AddUser("wangfang", "王芳", "", "", "", {});
    AddUser("zhangsan", "张三", "", "", "", {"\\销售部"});
    // LDAP's own matching folds more than ASCII case and drops a telephone
    // number's spaces: none of that may find more than the embedded directory.
    AddUser("mueller", "Müller ＡＢ", "139 0000 1111", "", "", {});

    struct Case {
        const char* text;
        std::set<std::string> accounts;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"zhang", {"ZhangWei", "zhangsan"}},
             {"ZHANGW", {"ZhangWei"}},
             {"张伟", {"ZhangWei"}},  // a whole two-character name
             {"张三", {"zhangsan"}},
             {"12345", {"ZhangWei"}},  // mobile
             {"78", {"ZhangWei"}},     // two characters at a field's end
             {"8888", {"ZhangWei"}},   // telephone
             {"-5555", {"liqiang"}},
             {"corp.cn", {"ZhangWei", "liqiang"}},
             {"WEI@CORP", {"ZhangWei"}},  // e-mail, any case
             {"强lee", {"liqiang"}},      // Latin after Chinese in a name
             {"强LEE", {"liqiang"}},
             {"ng王", {}},   // account end + name start: two fields
             {"78010", {}},  // mobile end + telephone start
             {"fang", {"wangfang"}},
             {"\"q", {}},
             {"mü", {"mueller"}},
             {"MÜ", {}},  // only ASCII letters in any case
             {"ＡＢ", {"mueller"}},
             {"ab", {}},  // nor full-width ones
             {"0 1", {"mueller"}},
             {"90000", {}},  // nor a number without its spaces
             {"nobody", {}},
         }) {
        EXPECT_EQ(FindSet(c.text), c.accounts) << c.text;
    }

    // Each user comes with his name and departments as GetUserDepts names them.
    std::vector<UserMatch> matches;
    Users().SearchUsers("zhangwei", [&](UserMatch&& m) {
        matches.push_back(std::move(m));
        return true;
    });
    ASSERT_EQ(matches.size(), 1u);
    EXPECT_EQ(matches[0].account, "ZhangWei");
    EXPECT_EQ(matches[0].name, "张伟");
    EXPECT_EQ(matches[0].depts, (std::vector<std::string>{"销售部\\华东区", "研发部"}));
}

TEST_P(UserSearchTest, TheExactAccountComesFirstAndTheVisitorStopsTheSearch) {
    for (const char* account : {"anna1", "anna12", "anna", "anna2"}) {
        AddUser(account, "", "", "", "", {});
    }
    const auto all = Find("ANNA");
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0], "anna");
    EXPECT_EQ(Find("ANNA"), all) << "the same search, the same order";
    EXPECT_EQ(Find("anna", 2), (std::vector<std::string>{all[0], all[1]}));
    EXPECT_EQ(Find("anna1")[0], "anna1");
}

TEST_P(UserSearchTest, ChangesShowAtOnce) {
    AddUser("chen", "陈静", "", "", "", {});
    EXPECT_EQ(FindSet("陈静"), std::set<std::string>{"chen"});
    Users().SetUserBasicInfo("chen", "陈晨", 0, "", "chen@x.cn", "", 0);
    EXPECT_TRUE(FindSet("陈静").empty());
    EXPECT_EQ(FindSet("陈晨"), std::set<std::string>{"chen"});
    EXPECT_EQ(FindSet("@x.c"), std::set<std::string>{"chen"});
    {
        auto unit = root->BeginUnitOfWork();
        Users().DeleteUser("chen");
        // A unit rolled back leaves the index as it was.
    }
    EXPECT_EQ(FindSet("陈晨"), std::set<std::string>{"chen"});
    Users().DeleteUser("chen");
    EXPECT_TRUE(FindSet("陈晨").empty());
    EXPECT_TRUE(FindSet("chen").empty());
}

TEST_P(UserSearchTest, RefusesTextsThatCannotBeSearched) {
    for (const char* text : {"", "a", "张", "a\tb", "ab\x1f"}) {
        try {
            Find(text);
            ADD_FAILURE() << "searched for \"" << text << "\"";
        } catch (const ImError& e) {
            EXPECT_EQ(e.Code(), im_code::kInvalidArgument) << text;
        }
    }
}

// Writers move a marker between their own users, each move one unit of work,
// while readers search for it: every search sees each writer's marker on
// exactly one user, and afterwards the index answers every text exactly as
// the users' fields do. LDAP writes a unit's users one after another, so a
// search there may fall between the two writes of a move: it never sees the
// marker twice, and afterwards it answers as the embedded directory does.
TEST_P(UserSearchTest, ConcurrentWritersNeverShowAHalfChange) {
    constexpr int kWriters = 3;
    constexpr int kUsersEach = 4;
    constexpr int kMoves = 40;
    auto account = [](int w, int u) { return "w" + std::to_string(w) + "u" + std::to_string(u); };
    auto marker = [](int w) { return "mark" + std::to_string(w) + "x"; };
    for (int w = 0; w < kWriters; ++w) {
        for (int u = 0; u < kUsersEach; ++u) {
            AddUser(account(w, u), u == 0 ? marker(w) : "plain", "", "", "", {});
        }
    }
    std::atomic<bool> writing{true};
    std::atomic<int> searches{0};
    std::vector<std::thread> threads;
    for (int w = 0; w < kWriters; ++w) {
        threads.emplace_back([&, w] {
            try {
                for (int i = 0; i < kMoves; ++i) {
                    auto unit = root->BeginUnitOfWork();
                    Users().SetUserBasicInfo(account(w, i % kUsersEach), "plain", 0, "", "", "", 0);
                    Users().SetUserBasicInfo(account(w, (i + 1) % kUsersEach), marker(w), 0, "", "",
                                             "", 0);
                    // Every fifth user added is deleted in the same unit.
                    const std::string extra = "extra" + std::to_string(w) + "_" + std::to_string(i);
                    Users().AddUser(extra, 0);
                    if (i % 5 == 0) Users().DeleteUser(extra);
                    unit->Commit();
                }
            } catch (const std::exception& e) {
                ADD_FAILURE() << e.what();
            }
        });
    }
    std::thread reader([&] {
        while (writing) {
            for (int w = 0; w < kWriters; ++w) {
                const auto found = Find(marker(w));
                if (OnLdap()) {
                    EXPECT_LE(found.size(), 1u) << marker(w);
                } else {
                    EXPECT_EQ(found.size(), 1u) << marker(w);
                }
                ++searches;
            }
        }
    });
    for (auto& t : threads) t.join();
    writing = false;
    reader.join();
    EXPECT_GT(searches.load(), 0);

    for (int w = 0; w < kWriters; ++w) {
        EXPECT_EQ(Find(marker(w)), std::vector<std::string>{account(w, kMoves % kUsersEach)});
        std::set<std::string> extras;
        for (int i = 0; i < kMoves; ++i) {
            if (i % 5 != 0) extras.insert("extra" + std::to_string(w) + "_" + std::to_string(i));
        }
        EXPECT_EQ(FindSet("extra" + std::to_string(w) + "_"), extras);
    }
    EXPECT_EQ(FindSet("plain").size(), static_cast<size_t>(kWriters * (kUsersEach - 1)));
}

INSTANTIATE_ON_EVERY_BACKEND(UserSearchTest);

// Entries other tools made (no IM number, the name in cn alone, sometimes
// two entries of one account), and results of several pages.
class LdapUserSearchTest : public UserSearchTest {
  protected:
    void AddForeign(const std::string& dn, const std::string& uid, const std::string& cn) {
        using Op = ldapdir::LdapChange::Op;
        m_ldap.Add(dn, {{Op::kAdd, "objectClass", {"inetOrgPerson"}},
                        {Op::kAdd, "uid", {uid}},
                        {Op::kAdd, "cn", {cn}},
                        {Op::kAdd, "sn", {"x"}}});
    }
    ldapdir::LdapConnection m_ldap{ldap, true};
};

TEST_P(LdapUserSearchTest, EntriesOfOtherToolsAreFoundInTheOrderTheyWereAdded) {
    Depts().AddDept("外部", "");
    AddForeign("uid=ext1,ou=外部," + ldap.baseDn, "ext1", "Outside Person");
    AddUser("outsider2", "", "", "", "", {"\\外部"});
    AddForeign("cn=Outside Copy," + ldap.baseDn, "EXT1", "Outside Copy");

    std::vector<UserMatch> matches;
    Users().SearchUsers("OUTSIDE", [&](UserMatch&& m) {
        matches.push_back(std::move(m));
        return true;
    });
    ASSERT_EQ(matches.size(), 2u) << "two entries of one account are one user";
    EXPECT_EQ(matches[0].account, "ext1");
    EXPECT_EQ(matches[0].name, "Outside Person") << "no displayName: the cn";
    EXPECT_EQ(matches[0].depts, std::vector<std::string>{"外部"});
    EXPECT_EQ(matches[1].account, "outsider2");
    EXPECT_EQ(FindSet("person"), std::set<std::string>{"ext1"});
    EXPECT_EQ(Find("OUTSIDER2"), (std::vector<std::string>{"outsider2"}));
    EXPECT_EQ(Find("ext1").front(), "ext1");
}

// More matches than one page holds: every one once, in the order added (the
// exact account first, wherever it lies), whether the visitor takes them all
// or stops inside a later page (after which the connection serves the next
// search as before).
TEST_P(LdapUserSearchTest, ManyPagesComeWholeAndStopWhereTheVisitorDoes) {
    std::vector<std::string> added;
    for (int i = 0; i < 260; ++i) {
        std::string uid = "pg" + std::to_string(1000 + i);
        AddForeign("uid=" + uid + "," + ldap.baseDn, uid, "Paged " + uid);
        added.push_back(uid);
    }
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(Find("paged"), added);
        EXPECT_EQ(Find("PG1", 150), std::vector<std::string>(added.begin(), added.begin() + 150));
        EXPECT_EQ(Find("pg1", 1), std::vector<std::string>{added.front()});
    }
    EXPECT_EQ(Find("pg1100").front(), "pg1100");
    // The exact account comes first even when added last, pages away.
    AddForeign("uid=PAGED," + ldap.baseDn, "PAGED", "Late");
    added.insert(added.begin(), "PAGED");
    EXPECT_EQ(Find("paged"), added);
}

INSTANTIATE_TEST_SUITE_P(Backends, LdapUserSearchTest, ::testing::Values(test::Backend::kLdap),
                         test::BackendName);

}  // namespace
}  // namespace warden
