#include <string>

#include <gtest/gtest.h>

#include "settings/ImportExport.h"
#include "support/TempDir.h"

using namespace kv::store;
using namespace kv::settings;

namespace kv {
namespace {

TEST(IsBadSearchCount, DelphiStyleIntegers) {
    for (const char* good : {"1", "128", "0001", "+5", "  7", "$1F", "x10", "X10", "0x10", "0XfF",
                             "2147483647", "$7FFFFFFF", "0x00000001"}) {
        EXPECT_FALSE(IsBadSearchCount(good)) << good;
    }
    for (const char* bad : {"",          " ",         "0",          "-0",
                            "-1",        "-$1",       "1 ",         "1a",
                            "a",         "$",         "0x",         "x",
                            "+",         "-",         "2147483648", "99999999999999999999",
                            "$80000000", "$FFFFFFFF", "\t1",        "1.0",
                            "1e3",       "0x-1",      "$ 1",        "- 1",
                            "00x1",      "$G",        "\x82\x50"}) {
        EXPECT_TRUE(IsBadSearchCount(bad)) << bad;
    }
    EXPECT_TRUE(IsBadSearchCount(std::string("1\0", 2)));
}

TMlb2 LoadTable(const test::TempDir& dir, const std::string& bytes) {
    dir.Write("in.csv", bytes);
    TMlb2 table;
    table.Separator = ",";
    table.LoadFromFile(dir.File("in.csv"));
    return table;
}

TEST(ImportWatchRows, CountsAndRejections) {
    test::TempDir dir;
    TMlb2 table = LoadTable(dir,
                            "\"SearchCount\",\"Command\",\"Other\",\"FileName\"\r\n"
                            "\"1\",\"c1\",\"o\",\"f1\"\r\n\"2\",\"c2\",\"o\",\"f2\"\r\n"
                            "\"0\",\"c3\",\"o\",\"f3\"\r\n\"4\",\"c4\",\"o\",\"f4\"\r\n"
                            "\"abc\",\"c5\",\"o\",\"f5\"\r\n");
    const ImportResult r = ImportWatchRows(table);
    EXPECT_EQ(r.Rows, (std::vector<WatchRow>{{"f1", "", "1", "", "c1"},
                                             {"f2", "", "2", "", "c2"},
                                             {"f4", "", "4", "", "c4"}}));
    EXPECT_EQ(ImportSummary(r),
              "\x83\x43\x83\x93\x83\x7c\x81\x5b\x83\x67\x8f\x88\x97\x9d\x82\xaa\x81\x41\x8f\x49"
              "\x97\xb9\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42\r\n"
              "\x91\x53\x83\x8c\x83\x52\x81\x5b\x83\x68\x8c\x8f\x90\x94\t\t5\r\n"
              "\x83\x43\x83\x93\x83\x7c\x81\x5b\x83\x67\x8c\x8f\x90\x94\t\t3\r\n"
              "\x83\x47\x83\x89\x81\x5b\x8c\x8f\x90\x94\t\t2\t5\t1");

    TMlb2 valid = LoadTable(dir, "\"FileName\",\"SearchCount\"\r\n\"f\",\"$10\"\r\n");
    const ImportResult ok = ImportWatchRows(valid);
    EXPECT_EQ(ok.Imported, 1u);
    EXPECT_EQ(ImportSummary(ok).substr(ImportSummary(ok).size() - 7), "\t\t0\t0\t0");

    TMlb2 noCount = LoadTable(dir, "\"FileName\"\r\n\"f\"\r\n\"g\"\r\n");
    const ImportResult none = ImportWatchRows(noCount);
    EXPECT_EQ(none.Total, 2u);
    EXPECT_EQ(none.Errors, 2u);
    EXPECT_TRUE(none.Rows.empty());

    TMlb2 missing;
    EXPECT_EQ(ImportWatchRows(missing).Total, 0u);
}

TEST(ImportWatchRows, AcceptableRecordsBeyondTheGridAreRejected) {
    test::TempDir dir;
    std::string bytes = "\"FileName\",\"SearchCount\"\r\n";
    for (int i = 1; i <= 131; ++i) {
        bytes += "\"f" + std::to_string(i) + "\",\"" + (i == 3 ? "0" : "1") + "\"\r\n";
    }
    TMlb2 table = LoadTable(dir, bytes);
    const ImportResult r = ImportWatchRows(table);
    EXPECT_EQ(r.Rows.size(), kMaxWatchRows);
    EXPECT_EQ(r.Rows.back().FileName, "f129");
    EXPECT_EQ(r.Imported, kMaxWatchRows);
    EXPECT_EQ(r.Errors, 3u);
    EXPECT_EQ(r.LastRejected, 131u);
    EXPECT_EQ(r.RejectedFlag, 1);
}

TEST(ExportWatchRows, SkipsEmptyFileNamesAndReadsBack) {
    std::vector<WatchRow> grid(kMaxWatchRows);
    grid[0] = {"/a", "say \"hi\"", "1", "m", "c"};
    grid[1] = {"/b", "", "2", "", ""};
    grid[2] = {"", "kept out", "3", "", ""};
    grid[4] = {"/e", "x,y", "5", "", "run"};
    std::size_t count = 99;
    const TMlb2 table = ExportWatchRows(grid, count);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(ExportMessage(count),
              "\x83\x47\x83\x4e\x83\x58\x83\x7c\x81\x5b\x83\x67\x82\xaa\x8f\x49\x97\xb9\x82\xb5"
              "\x82\xdc\x82\xb5\x82\xbd\x81\x42\r\n"
              "\x83\x47\x83\x4e\x83\x58\x83\x7c\x81\x5b\x83\x67\x8c\x8f\x90\x94\t3");

    test::TempDir dir;
    table.SaveToFile(dir.File("out.csv"));
    EXPECT_EQ(dir.Read("out.csv"),
              "\"FileName\",\"SearchString\",\"SearchCount\",\"MailAddress\",\"Command\"\r\n"
              "\"/a\",\"say \"\"hi\"\"\",\"1\",\"m\",\"c\"\r\n"
              "\"/b\",\"\",\"2\",\"\",\"\"\r\n"
              "\"/e\",\"x,y\",\"5\",\"\",\"run\"\r\n");
    TMlb2 back = LoadTable(dir, dir.Read("out.csv"));
    // A quote reads back but the setting text could not carry it: that record is refused.
    const ImportResult result = ImportWatchRows(back);
    EXPECT_EQ(result.Rows, (std::vector<WatchRow>{grid[1], grid[4]}));
    EXPECT_EQ(result.Errors, 1u);

    const TMlb2 empty = ExportWatchRows(std::vector<WatchRow>(kMaxWatchRows), count);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(empty.ToBytes(),
              "\"FileName\",\"SearchString\",\"SearchCount\",\"MailAddress\",\"Command\"\r\n");
}

}  // namespace
}  // namespace kv
