#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ProcessRun.h"
#include "store/TMlb2.h"
#include "support/TempDir.h"
#include "support/TmpfsMount.h"
#include "text/Cp932.h"

using namespace kv::text;
using namespace kv::store;

namespace kv {
namespace {

using test::RunCtl;
using Record = std::vector<std::string>;

const std::string kRowsHeader =
    "\"FileName\",\"SearchString\",\"SearchCount\",\"MailAddress\",\"Command\"\r\n";

std::string Quoted(const Record& values) {
    std::string line;
    for (const std::string& value : values) {
        line += (line.empty() ? "\"" : ",\"") + value + "\"";
    }
    return line + "\r\n";
}

// The records of a comma table file, by the given field names.
std::vector<Record> ReadRecords(const std::string& path, const Record& fields) {
    TMlb2 table;
    table.Separator = ",";
    table.QuoteChar = "\"";
    EXPECT_TRUE(table.LoadFromFile(path)) << path;
    std::vector<Record> records;
    for (table.First(); !table.Eof(); table.Next()) {
        Record record;
        for (const std::string& field : fields) {
            record.push_back(table.GetField(field));
        }
        records.push_back(record);
    }
    return records;
}

const Record kRowFields{"FileName", "SearchString", "SearchCount", "MailAddress", "Command"};

std::string ImportSummaryUtf8(int total, int imported, int errors, int last, int flag) {
    return "インポート処理が、終了しました。\r\n全レコード件数\t\t" + std::to_string(total) +
           "\r\nインポート件数\t\t" + std::to_string(imported) + "\r\nエラー件数\t\t" +
           std::to_string(errors) + "\t" + std::to_string(last) + "\t" + std::to_string(flag) +
           "\n";
}

class DefaultSettingCommandsTest : public ::testing::Test {
protected:
    test::ProcessResult Run(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--data-dir", data.Path()});
        return RunCtl(std::move(arguments));
    }

    test::TempDir data;
    test::TempDir work;
};

TEST_F(DefaultSettingCommandsTest, ExportWritesTheRowsWithAWatchFile) {
    const std::string word = Sjis("エラー");
    // Another column order, an extra column, and a row without a watch file.
    data.Write("Kestrelview.cnf",
               "\"Command\",\"Extra\",\"FileName\",\"SearchString\",\"SearchCount\","
               "\"MailAddress\"\r\n" +
                   Quoted({"run.sh", "x", "/var/log/messages", word, "3", "a@b"}) +
                   Quoted({"", "", "", "lost", "1", ""}) +
                   Quoted({"", "", "/tmp/b.log", "b", "$10", ""}));
    const auto result = Run({"export", work.File("out.csv")});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "エクスポートが終了しました。\r\nエクスポート件数\t2\n");
    EXPECT_TRUE(work.Read("out.csv").starts_with(kRowsHeader));
    EXPECT_EQ(ReadRecords(work.File("out.csv"), kRowFields),
              (std::vector<Record>{{"/var/log/messages", word, "3", "a@b", "run.sh"},
                                   {"/tmp/b.log", "b", "$10", "", ""}}));
}

TEST_F(DefaultSettingCommandsTest, ExportLeavesOutRowsTheGridCannotShow) {
    std::string rows = kRowsHeader;
    for (int i = 1; i <= 130; ++i) {
        rows += Quoted({"/f" + std::to_string(i), "s", "1", "", ""});
    }
    data.Write("Kestrelview.cnf", rows);
    const auto result = Run({"export", work.File("out.csv")});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "エクスポートが終了しました。\r\nエクスポート件数\t128\n");
    const auto records = ReadRecords(work.File("out.csv"), kRowFields);
    ASSERT_EQ(records.size(), 128u);
    EXPECT_EQ(records.back()[0], "/f128");
}

TEST_F(DefaultSettingCommandsTest, ExportOfNoRowsWritesTheHeaderAndARawMessage) {
    const auto result =
        RunCtl({"--raw", "--data-dir", data.Path(), "export", work.File("empty.csv")});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(work.Read("empty.csv"), kRowsHeader);
    EXPECT_EQ(result.err, Sjis("エクスポートが終了しました。\r\nエクスポート件数\t0") + "\n");
}

TEST_F(DefaultSettingCommandsTest, ExportIntoAMissingDirectoryFails) {
    const auto result = Run({"export", work.File("no/such/dir/out.csv")});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err.find("エクスポート"), std::string::npos);
}

TEST_F(DefaultSettingCommandsTest, ExportIsRelativeToTheWorkingDirectory) {
    const auto result = test::RunProcess({test::BinDir() + "/kestrelviewctl",
                                          {"--data-dir", data.Path(), "export", "relative.csv"},
                                          "",
                                          {{"KESTRELVIEW_DATA_DIR", std::nullopt}},
                                          work.Path(),
                                          std::chrono::seconds(60)});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(work.Read("relative.csv"), kRowsHeader);
}

TEST_F(DefaultSettingCommandsTest, ImportCountsBadCountsAndLeavesEnvCsvAlone) {
    // The mail body holds a TAB and a line break, and the table has an extra column: a
    // rewrite would change these bytes.
    const std::string env =
        "\"MailSubject\",\"MailBody\",\"SMTPServer\",\"FromMailAddress\","
        "\"Extra\"\r\n\"" +
        Sjis("件名") + "\",\"a\tb\r\nc\",\"smtp\",\"f@x\",\"keep\"\r\n";
    data.Write("env.csv", env);
    data.Write("Kestrelview.cnf", kRowsHeader + Quoted({"/old", "o", "1", "", ""}));
    work.Write("in.csv",
               kRowsHeader + Quoted({"/r1", "a", "1", "m1", "c1"}) +
                   Quoted({"/r2", "b", "0x10", "", ""}) + Quoted({"/r3", "c", "0", "", ""}) +
                   Quoted({"/r4", Sjis("語"), " 7", "", ""}) + Quoted({"/r5", "e", "abc", "", ""}));
    const auto result = Run({"import", work.File("in.csv")});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, ImportSummaryUtf8(5, 3, 2, 5, 1));
    EXPECT_EQ(ReadRecords(data.File("Kestrelview.cnf"), kRowFields),
              (std::vector<Record>{{"/r1", "a", "1", "m1", "c1"},
                                   {"/r2", "b", "0x10", "", ""},
                                   {"/r4", Sjis("語"), " 7", "", ""}}));
    EXPECT_EQ(data.Read("env.csv"), env);
}

TEST_F(DefaultSettingCommandsTest, ImportFindsFieldsByNameAndKeepsTheSavedHeader) {
    data.Write("Kestrelview.cnf",
               "\"Command\",\"Note\",\"FileName\",\"SearchString\",\"SearchCount\","
               "\"MailAddress\"\r\n" +
                   Quoted({"c", "n", "/old", "s", "1", ""}));
    work.Write("in.csv", "\"SearchCount\",\"Other\",\"FileName\"\r\n" + Quoted({"2", "z", "/new"}));
    const auto result = Run({"import", work.File("in.csv")});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, ImportSummaryUtf8(1, 1, 0, 0, 0));
    const std::string saved = data.Read("Kestrelview.cnf");
    EXPECT_TRUE(
        saved.starts_with("\"Command\",\"Note\",\"FileName\",\"SearchString\","
                          "\"SearchCount\",\"MailAddress\"\r\n"))
        << saved;
    EXPECT_EQ(ReadRecords(data.File("Kestrelview.cnf"), kRowFields),
              (std::vector<Record>{{"/new", "", "2", "", ""}}));
    EXPECT_EQ(ReadRecords(data.File("Kestrelview.cnf"), {"Note"}), (std::vector<Record>{{""}}));
}

TEST_F(DefaultSettingCommandsTest, ImportWithoutACountColumnRejectsEveryRecord) {
    data.Write("Kestrelview.cnf", kRowsHeader + Quoted({"/old", "o", "1", "", ""}));
    work.Write("in.csv", "\"FileName\"\r\n\"/a\"\r\n\"/b\"\r\n");
    const auto result = Run({"import", work.File("in.csv")});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, ImportSummaryUtf8(2, 0, 2, 2, 1));
    EXPECT_EQ(data.Read("Kestrelview.cnf"), kRowsHeader);
}

TEST_F(DefaultSettingCommandsTest, ImportRefusesRecordsBeyondTheGridAndDropsHiddenOnes) {
    std::string saved = kRowsHeader;
    for (int i = 1; i <= 129; ++i) {
        saved += Quoted({"/hidden" + std::to_string(i), "s", "1", "", ""});
    }
    data.Write("Kestrelview.cnf", saved);
    std::string in = kRowsHeader;
    for (int i = 1; i <= 130; ++i) {
        in += Quoted({"/f" + std::to_string(i), "s", "1", "", ""});
    }
    work.Write("in.csv", in);
    const auto result = Run({"import", work.File("in.csv")});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, ImportSummaryUtf8(130, 128, 2, 130, 1));
    const auto records = ReadRecords(data.File("Kestrelview.cnf"), kRowFields);
    ASSERT_EQ(records.size(), 128u);
    EXPECT_EQ(records.front()[0], "/f1");
    EXPECT_EQ(records.back()[0], "/f128");
}

TEST_F(DefaultSettingCommandsTest, ImportOfAFileThatCannotBeReadKeepsTheRows) {
    const std::string saved = kRowsHeader + Quoted({"/old", "o", "1", "", ""});
    data.Write("Kestrelview.cnf", saved);
    for (const std::string& path : {work.File("missing.csv"), work.Path()}) {
        const auto result = Run({"import", path});
        EXPECT_EQ(result.status, 1) << path;
        EXPECT_NE(result.err.find(path), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find("インポート"), std::string::npos) << result.err;
        EXPECT_EQ(data.Read("Kestrelview.cnf"), saved);
    }
}

TEST_F(DefaultSettingCommandsTest, ImportCreatesAMissingRowsFile) {
    work.Write("in.csv", kRowsHeader + Quoted({"/a", "s", "1", "", ""}));
    const auto result = Run({"import", work.File("in.csv")});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(data.Read("Kestrelview.cnf"), kRowsHeader + Quoted({"/a", "s", "1", "", ""}));
}

TEST_F(DefaultSettingCommandsTest, ImportOntoAFullDeviceFailsAndKeepsTheOldFile) {
    test::TmpfsMount mount(64 << 10);
    KV_SKIP_UNLESS_MOUNTED(mount);
    const std::string saved = kRowsHeader + Quoted({"/old", "o", "1", "", ""});
    { std::ofstream(mount.File("Kestrelview.cnf"), std::ios::binary) << saved; }
    std::string in = kRowsHeader;
    for (int i = 0; i < 100; ++i) {
        in += Quoted({"/" + std::string(900, 'x'), "s", "1", "", ""});
    }
    work.Write("in.csv", in);
    mount.Fill();
    const auto result = RunCtl({"--data-dir", mount.Path(), "import", work.File("in.csv")});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err.find("インポート"), std::string::npos) << result.err;
    std::ifstream file(mount.File("Kestrelview.cnf"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), saved);
}

}  // namespace
}  // namespace kv
