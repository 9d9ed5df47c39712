#include "agent/Base64.h"

#include <gtest/gtest.h>

using namespace kv::agent;

namespace kv {
namespace {

TEST(Base64, EncodesTheStandardVectorsWithPadding) {
    EXPECT_EQ(Base64Encode(""), "");
    EXPECT_EQ(Base64Encode("f"), "Zg==");
    EXPECT_EQ(Base64Encode("fo"), "Zm8=");
    EXPECT_EQ(Base64Encode("foo"), "Zm9v");
    EXPECT_EQ(Base64Encode("foob"), "Zm9vYg==");
    EXPECT_EQ(Base64Encode("fooba"), "Zm9vYmE=");
    EXPECT_EQ(Base64Encode("foobar"), "Zm9vYmFy");
}

TEST(Base64, UsesPlusAndSlashAndTakesHighBytesUnsigned) {
    EXPECT_EQ(Base64Encode(std::string("\xfb\xff\xbf", 3)), "+/+/");
    EXPECT_EQ(Base64Encode(std::string("\0\0\0", 3)), "AAAA");
    // A Shift_JIS user name goes out as its bytes.
    EXPECT_EQ(Base64Encode("\x8a\xc7\x97\x9d:pw"), "iseXnTpwdw==");
}

TEST(Base64, NeverBreaksLongOutput) {
    const std::string encoded = Base64Encode(std::string(300, 'a'));
    EXPECT_EQ(encoded.size(), 400u);
    EXPECT_EQ(encoded.find('\n'), std::string::npos);
}

TEST(Base64, EncodesTheDefaultCredentials) {
    EXPECT_EQ(Base64Encode("root:plumtree"), "cm9vdDpwbHVtdHJlZQ==");
}

}  // namespace
}  // namespace kv
