#include "agent/Resolver.h"

#include <string>
#include <vector>

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netdb.h>

using namespace kv::agent;

namespace kv {
namespace {

// Answers every name with one address and remembers what it was asked.
class RecordingResolver : public Resolver {
public:
    std::vector<std::string> asked;

protected:
    Result Resolve(const std::string& host) override {
        asked.push_back(host);
        Result result;
        result.found = true;
        inet_pton(AF_INET, "127.11.2.3", &result.address);
        return result;
    }
};

std::string Dotted(in_addr address) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

TEST(Resolver, TakesDigitsAndDotsAsAnAddressWithoutLookup) {
    RecordingResolver resolver;
    const Resolver::Result valid = resolver.Lookup("127.168.0.10");
    ASSERT_TRUE(valid.found);
    EXPECT_EQ(Dotted(valid.address), "127.168.0.10");

    // Leading zeros, as the address fields keep them, are decimal, never octal.
    const Resolver::Result padded = resolver.Lookup("127.168.001.010");
    ASSERT_TRUE(padded.found);
    EXPECT_EQ(Dotted(padded.address), "127.168.1.10");
    EXPECT_EQ(Dotted(resolver.Lookup("000.0.00.0255").address), "0.0.0.255");

    for (const char* bad : {"999.999.999.999", "1.2.3", "1.2.3.4.5", "1.2.3.4.", ".1.2.3", "1..2.3",
                            "256.0.0.1", "", "..."}) {
        const Resolver::Result result = resolver.Lookup(bad);
        EXPECT_FALSE(result.found) << bad;
        EXPECT_EQ(result.error, EAI_NONAME) << bad;
    }
    EXPECT_TRUE(resolver.asked.empty());
}

TEST(Resolver, HandsNamesToTheLookup) {
    RecordingResolver resolver;
    const Resolver::Result result = resolver.Lookup("agent01.example");
    ASSERT_TRUE(result.found);
    EXPECT_EQ(Dotted(result.address), "127.11.2.3");
    // A name that merely starts with digits is a name.
    resolver.Lookup("127.200.3.4x");
    EXPECT_EQ(resolver.asked, (std::vector<std::string>{"agent01.example", "127.200.3.4x"}));
}

TEST(Resolver, SystemDefaultFindsLoopbackAddress) {
    const Resolver::Result result = Resolver::System().Lookup("127.0.0.1");
    ASSERT_TRUE(result.found);
    EXPECT_EQ(Dotted(result.address), "127.0.0.1");
}

}  // namespace
}  // namespace kv
