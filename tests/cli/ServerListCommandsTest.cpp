#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "ProcessRun.h"
#include "support/TempDir.h"
#include "support/TmpfsMount.h"
#include "text/Cp932.h"

using namespace kv::text;

namespace kv {
namespace {

using test::RunCtl;

const std::string kHeader = "\"ServerName\",\"IPAddress\"\r\n";

std::string Record(const std::string& name, const std::string& address) {
    return "\"" + name + "\",\"" + address + "\"\r\n";
}

class ServerListCommandsTest : public ::testing::Test {
protected:
    test::ProcessResult Run(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--data-dir", dir.Path()});
        return RunCtl(std::move(arguments));
    }

    test::TempDir dir;
};

TEST_F(ServerListCommandsTest, ServersListsEveryEntryAsUtf8OrRaw) {
    const std::string name = Sjis("監視サーバ");
    dir.Write("Server.csv", kHeader + Record("DefaultSetting", "DefaultSetting") +
                                Record(name, "127.168.0.10") + Record("", "127.168.0.11"));
    const auto utf8 = Run({"servers"});
    EXPECT_EQ(utf8.status, 0);
    EXPECT_EQ(utf8.out,
              "0\tDefaultSetting\tDefaultSetting\n"
              "1\t127.168.0.10\t監視サーバ\n"
              "2\t127.168.0.11\t\n");
    EXPECT_EQ(utf8.err, "");

    const auto raw = RunCtl({"--raw", "--data-dir", dir.Path(), "servers"});
    EXPECT_EQ(raw.status, 0);
    EXPECT_EQ(raw.out, "0\tDefaultSetting\tDefaultSetting\n1\t127.168.0.10\t" + name +
                           "\n2\t127.168.0.11\t\n");
}

TEST_F(ServerListCommandsTest, ServersKeepsTheHeadersColumnOrderAndReadsInvalidBytes) {
    // IPAddress first, and a name whose second byte is missing.
    dir.Write("Server.csv",
              "\"IPAddress\",\"ServerName\"\r\n\"DefaultSetting\",\"x\"\r\n"
              "\"127.10.0.1\",\"a\x82\"\r\n");
    const auto result = Run({"servers"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "0\tDefaultSetting\tx\n1\t127.10.0.1\ta\xEF\xBF\xBD\n");
}

TEST_F(ServerListCommandsTest, ServersWithoutAFileShowsTheDefaultEntry) {
    const auto result = Run({"servers"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "0\tDefaultSetting\tDefaultSetting\n");
}

TEST_F(ServerListCommandsTest, RemoveTakesTheFirstMatchIgnoringCase) {
    dir.Write("Server.csv", kHeader + Record("DefaultSetting", "DefaultSetting") +
                                Record("a", "host-A") + Record("b", "127.10.0.2") +
                                Record("c", "HOST-a"));
    const auto result = Run({"remove", "Host-A"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(dir.Read("Server.csv"), kHeader + Record("DefaultSetting", "DefaultSetting") +
                                          Record("b", "127.10.0.2") + Record("c", "HOST-a"));
}

TEST_F(ServerListCommandsTest, RemoveRefusesTheDefaultAndUnknownAddresses) {
    const std::string original =
        kHeader + Record("DefaultSetting", "DefaultSetting") + Record("a", "127.10.0.1");
    dir.Write("Server.csv", original);
    for (const char* address : {"defaultsetting", "127.10.0.9", "127.0.0"}) {
        const auto result = Run({"remove", address});
        EXPECT_EQ(result.status, 1) << address;
        EXPECT_NE(result.err, "") << address;
        EXPECT_EQ(dir.Read("Server.csv"), original) << address;
    }
}

TEST_F(ServerListCommandsTest, RemoveOfAJapaneseNamedAddressMatchesItsShiftJisBytes) {
    const std::string address = Sjis("サーバ");
    dir.Write("Server.csv", kHeader + Record("DefaultSetting", "DefaultSetting") +
                                Record("n", address) + Record("m", "127.10.0.1"));
    const auto result = Run({"remove", "サーバ"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(dir.Read("Server.csv"),
              kHeader + Record("DefaultSetting", "DefaultSetting") + Record("m", "127.10.0.1"));
}

TEST_F(ServerListCommandsTest, RemoveUsageErrors) {
    dir.Write("Server.csv", kHeader + Record("DefaultSetting", "DefaultSetting"));
    EXPECT_EQ(Run({"remove"}).status, 2);
    EXPECT_EQ(Run({"remove", "a", "b"}).status, 2);
    // A character Shift_JIS cannot carry.
    const auto emoji = Run({"remove", "\xF0\x9F\x98\x80"});
    EXPECT_EQ(emoji.status, 2);
    EXPECT_NE(emoji.err.find("Shift_JIS"), std::string::npos);
}

TEST_F(ServerListCommandsTest, RemoveOnAReadOnlyDeviceFailsAndKeepsTheList) {
    test::TmpfsMount mount(1 << 20);
    KV_SKIP_UNLESS_MOUNTED(mount);
    const std::string original =
        kHeader + Record("DefaultSetting", "DefaultSetting") + Record("a", "127.10.0.1");
    { std::ofstream(mount.File("Server.csv"), std::ios::binary) << original; }
    ASSERT_TRUE(mount.MakeReadOnly()) << mount.Reason();
    const auto result = RunCtl({"--data-dir", mount.Path(), "remove", "127.10.0.1"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("Server.csv"), std::string::npos) << result.err;
    std::ifstream file(mount.File("Server.csv"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), original);
}

}  // namespace
}  // namespace kv
