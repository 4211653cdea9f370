#include <gtest/gtest.h>

#include "protocol/Fingerprint.h"

namespace warden {
namespace {

TEST(FingerprintTest, WrittenAsUpperCaseHexPairsJoinedByColons) {
    const unsigned char digest[] = {0x00, 0x0F, 0xA0, 0xFF};
    EXPECT_EQ(FormatFingerprint(digest), "00:0F:A0:FF");
    EXPECT_EQ(FormatFingerprint({}), "");
}

}  // namespace
}  // namespace warden
