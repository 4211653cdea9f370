#include <gtest/gtest.h>

#include <sodium.h>

#include "server/store/PasswordHash.h"

namespace warden::test {
namespace {

TEST(PasswordHashTest, HashesAreSaltedAndWeakerOnesAskToBeRedone) {
    auto first = HashPassword("pw");
    auto second = HashPassword("pw");
    ASSERT_TRUE(first && second);
    EXPECT_NE(*first, *second);
    EXPECT_TRUE(CheckPassword(*first, "pw").matches);
    EXPECT_FALSE(CheckPassword(*first, "pw ").matches);
    EXPECT_FALSE(CheckPassword(*first, "pw").needsRehash);

    // A hash made with the smallest parameters still proves the password,
    // and is due to be replaced.
    char weak[crypto_pwhash_STRBYTES];
    ASSERT_EQ(crypto_pwhash_str_alg(weak, "pw", 2, crypto_pwhash_OPSLIMIT_MIN,
                                    crypto_pwhash_MEMLIMIT_MIN, crypto_pwhash_ALG_ARGON2ID13),
              0);
    PasswordCheck check = CheckPassword(weak, "pw");
    EXPECT_TRUE(check.matches);
    EXPECT_TRUE(check.needsRehash);

    EXPECT_TRUE(CheckPassword("", "").matches);
    EXPECT_FALSE(CheckPassword("abc", "abcd").matches);
    EXPECT_FALSE(CheckPassword("$argon2id$garbage", "$argon2id$garbage").matches);
}

}  // namespace
}  // namespace warden::test
