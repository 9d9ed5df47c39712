#include <string>

#include <gtest/gtest.h>

#include "AgentTestSupport.h"
#include "agentd/BasicAuth.h"

using namespace kv::agentd;

namespace kv {
namespace {

TEST(DecodeBase64, TakesPaddedTextAndRefusesEverythingElse) {
    EXPECT_EQ(DecodeBase64("cm9vdDpwbHVtdHJlZQ=="), "root:plumtree");
    EXPECT_EQ(DecodeBase64("YWI="), "ab");
    EXPECT_EQ(DecodeBase64("YWJj"), "abc");
    EXPECT_EQ(DecodeBase64(""), "");
    EXPECT_EQ(DecodeBase64("YWI"), std::nullopt);       // unpadded
    EXPECT_EQ(DecodeBase64("Y=I="), std::nullopt);      // padding inside
    EXPECT_EQ(DecodeBase64("YW==YWJj"), std::nullopt);  // padding before the end
    EXPECT_EQ(DecodeBase64("YW J"), std::nullopt);
    EXPECT_EQ(DecodeBase64("YW*j"), std::nullopt);
}

TEST(BasicAuth, AcceptsOnlyTheExactCredentials) {
    const BasicAuth auth("root", "plum:tree", "Kestrelview Agent");
    const auto header = [](std::string scheme, std::string credentials) {
        return scheme + " " + test::Base64(credentials);
    };
    std::string value = header("Basic", "root:plum:tree");
    EXPECT_TRUE(auth.Accepts(&value));
    value = header("bAsIc", "root:plum:tree");
    EXPECT_TRUE(auth.Accepts(&value));
    for (const std::string& wrong :
         {header("Basic", "root:plum"), header("Basic", "root:plum:tree2"),
          header("Basic", "Root:plum:tree"), header("Basic", "root"), header("Basic", ""),
          header("Bearer", "root:plum:tree"), std::string("Basic"),
          std::string("Basic not-base64!")}) {
        EXPECT_FALSE(auth.Accepts(&wrong)) << wrong;
    }
    EXPECT_FALSE(auth.Accepts(nullptr));
    EXPECT_EQ(auth.Challenge(), "Basic realm=\"Kestrelview Agent\"");
}

}  // namespace
}  // namespace kv
