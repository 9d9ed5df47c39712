#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "store/InOutError.h"
#include "store/ServerList.h"
#include "support/TempDir.h"

using namespace kv::store;

namespace kv {
namespace {

using Strings = std::vector<std::string>;

const std::string kThree =
    "\"ServerName\",\"IPAddress\"\r\n"
    "\"DefaultSetting\",\"DefaultSetting\"\r\n"
    "\"alpha\",\"127.168.0.10\"\r\n"
    "\"beta\",\"127.168.0.11\"\r\n";

class ServerListTest : public ::testing::Test {
protected:
    ServerList LoadFrom(const std::string& bytes) {
        dir.Write("Server.csv", bytes);
        ServerList list;
        list.Load(path);
        return list;
    }
    std::string Saved(ServerList& list) {
        list.Save(path);
        return dir.Read("Server.csv");
    }

    test::TempDir dir;
    std::string path = dir.File("Server.csv");
};

TEST_F(ServerListTest, LoadFillsEntriesAndAddresses) {
    const ServerList list = LoadFrom(kThree);
    ASSERT_EQ(list.Count(), 3u);
    EXPECT_EQ(list.Addresses(), (Strings{"DefaultSetting", "127.168.0.10", "127.168.0.11"}));
    EXPECT_EQ(list.Entry(1).ServerName, "alpha");
    for (std::size_t i = 0; i < list.Count(); ++i) {
        EXPECT_EQ(list.Entry(i).IPAddress, list.Addresses()[i]);
        EXPECT_EQ(list.Entry(i).TreeText, "");
        EXPECT_EQ(list.Entry(i).SettingText, "");
        EXPECT_EQ(list.Entry(i).CachedLog, std::optional<std::string>(""));
    }
    EXPECT_THROW(list.Entry(3), std::out_of_range);
}

TEST_F(ServerListTest, SaveRightAfterLoadRewritesTheSameBytes) {
    ServerList list = LoadFrom(kThree);
    EXPECT_EQ(Saved(list), kThree);

    const std::string reversed =
        "\"IPAddress\",\"ServerName\"\r\n\"DefaultSetting\",\"DefaultSetting\"\r\n"
        "\"127.10.0.1\",\"x\"\r\n";
    list = LoadFrom(reversed);
    EXPECT_EQ(list.Entry(1).ServerName, "x");
    EXPECT_EQ(Saved(list), reversed);
}

TEST_F(ServerListTest, HeaderDecidesWhatIsWritten) {
    // An extra field is written empty; a missing one is not written; a short record
    // gives an empty text.
    ServerList list = LoadFrom("Note,IPAddress\r\nkept?,DefaultSetting\r\n,127.10.0.1\r\n");
    EXPECT_EQ(list.Entry(0).ServerName, "");
    EXPECT_EQ(Saved(list),
              "\"Note\",\"IPAddress\"\r\n\"\",\"DefaultSetting\"\r\n\"\",\"127.10.0.1\"\r\n");

    list = LoadFrom("ServerName,IPAddress\r\nDefaultSetting\r\n");
    EXPECT_EQ(list.Entry(0).IPAddress, "");
}

TEST_F(ServerListTest, MissingFileStartsWithTheDefaultSetting) {
    ServerList list;
    list.Load(path);
    ASSERT_EQ(list.Count(), 1u);
    EXPECT_EQ(list.Entry(0).IPAddress, "DefaultSetting");
    EXPECT_EQ(list.Entry(0).ServerName, "DefaultSetting");
    EXPECT_EQ(list.Entry(0).CachedLog, std::optional<std::string>(""));
    EXPECT_EQ(list.Table().FieldNames(), (Strings{"ServerName", "IPAddress"}));
    EXPECT_EQ(Saved(list),
              "\"ServerName\",\"IPAddress\"\r\n\"DefaultSetting\",\"DefaultSetting\"\r\n");
}

TEST_F(ServerListTest, LoadReplacesEverything) {
    ServerList list = LoadFrom(kThree);
    list.AddDiscovered("127.19.9.9", "z");
    dir.Write("Server.csv", "ServerName,IPAddress\r\nDefaultSetting,DefaultSetting\r\n");
    list.Load(path);
    EXPECT_EQ(list.Addresses(), (Strings{"DefaultSetting"}));
}

TEST_F(ServerListTest, BareNamesThatGainSpacesStillReadBack) {
    // Unquoted names make the first column a number column, written bare.
    ServerList list = LoadFrom("ServerName,IPAddress\r\nDefaultSetting,DefaultSetting\r\n");
    ASSERT_EQ(list.Table().FieldTypes()[0], "FLOAT");
    list.AddDiscovered("127.10.0.1", "web server, east");
    list.Save(path);
    ServerList back;
    back.Load(path);
    EXPECT_EQ(back.Entry(1).ServerName, "web server, east");
}

TEST_F(ServerListTest, DeleteMovesLaterEntriesUpWithAllTheirMembers) {
    ServerList list = LoadFrom(kThree + "\"gamma\",\"127.168.0.12\"\r\n");
    list.Entry(3).TreeText = "tree";
    list.Entry(3).SettingText = "setting";
    list.Entry(3).CachedLog = "log";
    list.Entry(2).CachedLog.reset();
    list.Delete(2);
    ASSERT_EQ(list.Count(), 3u);
    EXPECT_EQ(list.Addresses(), (Strings{"DefaultSetting", "127.168.0.10", "127.168.0.12"}));
    EXPECT_EQ(list.Entry(2).ServerName, "gamma");
    EXPECT_EQ(list.Entry(2).TreeText, "tree");
    EXPECT_EQ(list.Entry(2).SettingText, "setting");
    EXPECT_EQ(list.Entry(2).CachedLog, std::optional<std::string>("log"));
    EXPECT_EQ(Saved(list),
              kThree.substr(0, kThree.rfind("\"beta\"")) + "\"gamma\",\"127.168.0.12\"\r\n");
}

TEST_F(ServerListTest, DeleteRefusesEntryZeroAndUnusedEntries) {
    ServerList list = LoadFrom(kThree);
    EXPECT_THROW(list.Delete(0), std::invalid_argument);
    EXPECT_THROW(list.Delete(3), std::out_of_range);
    EXPECT_EQ(list.Count(), 3u);
}

TEST_F(ServerListTest, DiscoveryAddsOnlyNewAddresses) {
    ServerList list = LoadFrom(kThree);
    EXPECT_EQ(list.AddDiscovered("127.168.0.10", "again"), std::nullopt);
    EXPECT_EQ(list.AddDiscovered("defaultsetting", "x"), std::nullopt);
    EXPECT_EQ(list.Entry(1).ServerName, "alpha");

    EXPECT_EQ(list.AddDiscovered("127.168.0.20", "gamma"), 3u);
    const TServerTree& added = list.Entry(3);
    EXPECT_EQ(added.ServerName, "gamma");
    EXPECT_EQ(added.IPAddress, "127.168.0.20");
    EXPECT_EQ(added.TreeText, "");
    EXPECT_EQ(added.CachedLog, std::nullopt);
    EXPECT_EQ(list.Addresses().back(), "127.168.0.20");
}

TEST_F(ServerListTest, SameAddressAddedByHandTwice) {
    ServerList list = LoadFrom(kThree);
    EXPECT_EQ(list.AddFetched("127.168.0.10", "tree", "setting"), 3u);
    EXPECT_EQ(list.Entry(3).ServerName, "");
    EXPECT_EQ(list.Entry(3).TreeText, "tree");
    EXPECT_EQ(list.Entry(3).SettingText, "setting");
    EXPECT_EQ(list.Entry(3).CachedLog, std::nullopt);
    EXPECT_EQ(list.IndexOf("127.168.0.10"), 1u);
    EXPECT_EQ(list.IndexOf("127.168.0.99"), std::nullopt);

    // Deleting the second of the two removes the second address item, by position.
    list.Entry(3).ServerName = "second";
    list.Delete(3);
    EXPECT_EQ(list.Addresses(), (Strings{"DefaultSetting", "127.168.0.10", "127.168.0.11"}));
    EXPECT_EQ(list.Entry(1).ServerName, "alpha");
    list.AddFetched("127.168.0.10", "", "");
    list.Delete(1);
    EXPECT_EQ(list.Addresses(), (Strings{"DefaultSetting", "127.168.0.11", "127.168.0.10"}));
    EXPECT_EQ(list.Entry(1).ServerName, "beta");
}

TEST_F(ServerListTest, NameLearnedFromAnAgentIsSaved) {
    ServerList list = LoadFrom(kThree);
    list.Entry(2).ServerName = "renamed \"b\"";
    EXPECT_NE(Saved(list).find("\"renamed \"\"b\"\"\",\"127.168.0.11\"\r\n"), std::string::npos);
    ServerList back;
    back.Load(path);
    EXPECT_EQ(back.Entry(2).ServerName, "renamed \"b\"");
}

TEST_F(ServerListTest, FailedSaveThrowsAndKeepsTheEntries) {
    ServerList list = LoadFrom(kThree);
    EXPECT_THROW(list.Save(dir.File("missing/Server.csv")), EInOutError);
    EXPECT_EQ(list.Count(), 3u);
    EXPECT_EQ(Saved(list), kThree);
}

TEST_F(ServerListTest, RecordsBeyondTheCapacityAreKeptAndWrittenBack) {
    std::string bytes = "\"ServerName\",\"IPAddress\",\"Extra\"\r\n";
    for (int i = 0; i < 300; ++i) {
        bytes += "\"n" + std::to_string(i) + "\",\"127.10." + std::to_string(i / 256) + "." +
                 std::to_string(i % 256) + "\",\"e" + std::to_string(i) + "\"\r\n";
    }
    ServerList list = LoadFrom(bytes);
    EXPECT_EQ(list.Count(), ServerList::kCapacity);
    EXPECT_EQ(list.SurplusCount(), 44u);
    EXPECT_TRUE(list.IsFull());
    EXPECT_EQ(list.AddDiscovered("127.11.1.1", "x"), std::nullopt);
    EXPECT_EQ(list.AddFetched("127.11.1.1", "", ""), std::nullopt);
    EXPECT_EQ(list.Count(), ServerList::kCapacity);

    // Entries lose their extra column (they do not keep it); the surplus keeps it.
    std::string expected = "\"ServerName\",\"IPAddress\",\"Extra\"\r\n";
    for (int i = 0; i < 300; ++i) {
        expected += "\"n" + std::to_string(i) + "\",\"127.10." + std::to_string(i / 256) + "." +
                    std::to_string(i % 256) + "\",\"" +
                    (i < 256 ? std::string() : "e" + std::to_string(i)) + "\"\r\n";
    }
    EXPECT_EQ(Saved(list), expected);

    list.Delete(1);
    EXPECT_FALSE(list.IsFull());
    EXPECT_EQ(list.AddDiscovered("127.11.1.1", "x"), 255u);
    EXPECT_TRUE(list.IsFull());
}

TEST_F(ServerListTest, ThreeHundredRecordsSaveBackByteForByte) {
    std::string bytes = "\"ServerName\",\"IPAddress\"\r\n\"DefaultSetting\",\"DefaultSetting\"\r\n";
    for (int i = 1; i < 300; ++i) {
        bytes += "\"s" + std::to_string(i) + "\",\"127.10." + std::to_string(i / 256) + "." +
                 std::to_string(i % 256) + "\"\r\n";
    }
    ServerList list = LoadFrom(bytes);
    EXPECT_EQ(Saved(list), bytes);
    EXPECT_EQ(Saved(list), bytes);
}

}  // namespace
}  // namespace kv
