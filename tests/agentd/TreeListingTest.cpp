#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "agentd/TreeListing.h"
#include "support/TempDir.h"
#include "text/Cp932.h"

using namespace kv::text;
using namespace kv::agentd;

namespace kv {
namespace {

namespace fs = std::filesystem;

TEST(TreeListing, ListsDepthFirstWithTabsMarkersAndShiftJisNames) {
    test::TempDir dir;
    fs::create_directories(dir.File("etc"));
    fs::create_directories(dir.File("tmp"));
    fs::create_directories(dir.File("資料/深い/もっと深い"));
    dir.Write("a.txt", "x");
    dir.Write("etc/hosts", "x");
    dir.Write("etc/日本語.txt", "x");
    dir.Write("資料/報告書.txt", "x");
    fs::create_directory_symlink(dir.File("etc"), dir.File("link"));

    const TreeListing listing = BuildTreeListing(dir.Path());
    const std::string nihongo = "\x93\xfa\x96\x7b\x8c\xea.txt";  // 日本語.txt
    std::string expected;
    for (const std::string& line :
         {std::string("IsDir /"), std::string("\ta.txt"), std::string("\tIsDir etc"),
          std::string("\t\thosts"), "\t\t" + nihongo, std::string("\tlink"),
          std::string("\tIsDir tmp"), "\tIsDir " + Sjis("資料"), "\t\t" + Sjis("報告書.txt"),
          "\t\tIsDir " + Sjis("深い"), "\t\t\tIsDir " + Sjis("もっと深い")}) {
        expected += line + "\r\n";
    }
    EXPECT_EQ(listing.text, expected);
    EXPECT_EQ(listing.skipped, 0u);
}

TEST(TreeListing, AnEmptyRootIsTheRootLineAlone) {
    test::TempDir dir;
    EXPECT_EQ(BuildTreeListing(dir.Path()).text, "IsDir /\r\n");
}

TEST(TreeListing, SkipsNamesThatCannotTravelAndWhatLiesBelowThem) {
    test::TempDir dir;
    fs::create_directories(
        dir.File("bad\xF0\x9F\x98\x80"
                 "dir/inner"));  // an emoji: no CP932
    dir.Write(
        "bad\xF0\x9F\x98\x80"
        "dir/inner/file",
        "x");
    dir.Write("tab\tname", "x");
    dir.Write(" leading space", "x");
    dir.Write("x IsDir y", "x");
    dir.Write("y IsEnd z", "x");
    dir.Write("line\nbreak", "x");
    dir.Write(
        "bad\xff"
        "utf8",
        "x");
    dir.Write("kept", "x");
    const TreeListing listing = BuildTreeListing(dir.Path());
    EXPECT_EQ(listing.text, "IsDir /\r\n\tkept\r\n");
    EXPECT_EQ(listing.skipped, 7u);
}

TEST(TreeListing, AnUnreadableDirectoryIsListedWithoutContents) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root reads every directory";
    }
    test::TempDir dir;
    fs::create_directories(dir.File("closed"));
    dir.Write("closed/hidden", "x");
    fs::permissions(dir.File("closed"), fs::perms::none);
    EXPECT_EQ(BuildTreeListing(dir.Path()).text, "IsDir /\r\n\tIsDir closed\r\n");
}

TEST(ListableName, GivesShiftJisForNamesTheManagerCanTake) {
    EXPECT_EQ(ListableName("ﾃｽﾄ"), "\xc3\xbd\xc4");
    EXPECT_EQ(ListableName("trailing "), "trailing ");
    EXPECT_EQ(ListableName("IsDir"), "IsDir");
    EXPECT_EQ(ListableName(""), std::nullopt);
    EXPECT_EQ(ListableName("\x1b"), std::nullopt);
}

}  // namespace
}  // namespace kv

namespace kv {
namespace {

TEST(TreeListing, BoundsCutTheListingWithANoticeAndExcludesLeaveDirectoriesOut) {
    test::TempDir dir;
    fs::create_directories(dir.File("a/b/c"));
    fs::create_directories(dir.File("proc/1"));
    dir.Write("a/b/c/deep.txt", "x");
    dir.Write("a/f1", "x");
    dir.Write("z1", "x");
    dir.Write("z2", "x");
    const std::string depthNotice = "IsEnd " + Sjis("（深さ 2 より下は省略しました）");
    const std::string countNotice = "IsEnd " + Sjis("（一覧は 3 件までです。以下は省略しました）");
    struct Case {
        TreeBounds bounds;
        std::vector<std::string> lines;
        bool cut;
    };
    const Case cases[] = {
        {{100, 100, {dir.File("proc")}},
         {"IsDir /", "\tIsDir a", "\t\tIsDir b", "\t\t\tIsDir c", "\t\t\t\tdeep.txt", "\t\tf1",
          "\tz1", "\tz2"},
         false},
        {{100, 2, {dir.File("proc")}},
         {"IsDir /", "\tIsDir a", "\t\tIsDir b", "\t\t\t" + depthNotice, "\t\tf1", "\tz1", "\tz2"},
         true},
        {{3, 100, {dir.File("proc")}},
         {"IsDir /", "\tIsDir a", "\t\tIsDir b", "\t\t\tIsDir c", "\t\t\t\t" + countNotice},
         true},
        {{100, 100, {dir.File("a"), dir.File("z1")}},
         {"IsDir /", "\tIsDir proc", "\t\tIsDir 1", "\tz2"},
         false},
    };
    for (const Case& c : cases) {
        std::string expected;
        for (const std::string& line : c.lines) {
            expected += line + "\r\n";
        }
        const TreeListing listing = BuildTreeListing(dir.Path(), c.bounds);
        EXPECT_EQ(listing.text, expected);
        EXPECT_EQ(listing.cut, c.cut);
    }
}

}  // namespace
}  // namespace kv
