#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "AgentTestSupport.h"
#include "agentd/DailyLog.h"
#include "support/TempDir.h"
#include "text/Cp932.h"
#include "text/JapaneseConversion.h"

using namespace kv::text;
using namespace kv::agentd;

namespace kv {
namespace {

using test::LocalNoon;

TEST(DailyLog, FileNamesFollowTheCalendar) {
    EXPECT_EQ(DailyLog::FileName(LocalNoon(2026, 12, 7)), "20261207.log");
    EXPECT_EQ(DailyLog::FileName(LocalNoon(2026, 3, 1), 1), "20260228.log");
    EXPECT_EQ(DailyLog::FileName(LocalNoon(2024, 3, 1), 1), "20240229.log");
    EXPECT_EQ(DailyLog::FileName(LocalNoon(2027, 1, 1), 1), "20261231.log");
    EXPECT_EQ(DailyLog::FileName(LocalNoon(2026, 1, 2), 3), "20251230.log");
}

TEST(DailyLog, AppendsTimeStampedEucJpLinesToTodaysFile) {
    test::TempDir dir;
    DailyLog log(dir.Path(), "/opt/agent/log", [] { return LocalNoon(2026, 3, 1); });
    EXPECT_EQ(log.TodayRemotePath(), "/opt/agent/log/20260301.log");
    EXPECT_EQ(log.TodayDiskPath(), dir.File("20260301.log"));
    log.Append(Sjis("あ"));
    log.Append("second");
    EXPECT_EQ(dir.Read("20260301.log"),
              "2026/03/01 12:00:00 \xa4\xa2\r\n2026/03/01 12:00:00 second\r\n");
}

TEST(DailyLog, AWriteFailureDoesNotStopTheCaller) {
    test::TempDir dir;
    DailyLog log(dir.File("missing"), "/", [] { return LocalNoon(2026, 3, 1); });
    EXPECT_NO_THROW(log.Append("line"));
    EXPECT_NO_THROW(log.Append("line"));
}

TEST(DailyLog, DemoSeedsTheThreeDaysBeforeTodayAndKeepsExistingLogs) {
    test::TempDir dir;
    dir.Write("20260227.log", "kept");
    DailyLog log(dir.Path(), "/", [] { return LocalNoon(2026, 3, 1); });
    log.SeedDemoDays();
    EXPECT_EQ(dir.Read("20260227.log"), "kept");
    EXPECT_FALSE(std::filesystem::exists(dir.File("20260301.log")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("20260225.log")));
    for (const char* day : {"20260228", "20260226"}) {
        const std::string text = EucToSjis(dir.Read(std::string(day) + ".log"));
        const std::string date = std::string(day).substr(0, 4) + "/" +
                                 std::string(day).substr(4, 2) + "/" + std::string(day).substr(6);
        EXPECT_TRUE(text.starts_with(date + " ")) << day;
        EXPECT_NE(text.find(Sjis("エージェント")), std::string::npos) << day;
        EXPECT_TRUE(text.ends_with("\r\n"));
    }
}

}  // namespace
}  // namespace kv

namespace kv {
namespace {

TEST(DailyLog, LogsOlderThanTheKeptDaysGoAtTheFirstLineOfADay) {
    test::TempDir dir;
    for (const char* name : {"20260130.log", "20260131.log", "20260201.log", "20260228.log",
                             "notes.log", "2026013.log", "20260130.log.gz"}) {
        dir.Write(name, "x");
    }
    std::time_t now = LocalNoon(2026, 3, 2);
    DailyLog log(dir.Path(), "/", [&] { return now; });
    log.KeepDays(30);
    log.Append("first of the day");
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        left.push_back(entry.path().filename().string());
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"2026013.log", "20260130.log.gz", "20260131.log",
                                              "20260201.log", "20260228.log", "20260302.log",
                                              "notes.log"}));
    // The next day prunes again; 0 keeps everything.
    now = LocalNoon(2026, 3, 3);
    log.Append("next day");
    EXPECT_FALSE(std::filesystem::exists(dir.File("20260131.log")));
    log.KeepDays(0);
    now = LocalNoon(2026, 6, 1);
    log.Append("summer");
    EXPECT_TRUE(std::filesystem::exists(dir.File("20260201.log")));
}

}  // namespace
}  // namespace kv
