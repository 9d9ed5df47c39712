#include "agent/LogPaths.h"

#include <array>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

using namespace kv::agent;

namespace kv {
namespace {

using Paths = std::array<std::string, 4>;

TEST(LogPathsTest, CurrentLogThenThreeEarlierDaysInTheSameDirectory) {
    EXPECT_EQ(LogPathList("/opt/agent/log/20261207.log"),
              (Paths{"/opt/agent/log/20261207.log", "/opt/agent/log/20261206.log",
                     "/opt/agent/log/20261205.log", "/opt/agent/log/20261204.log"}));
}

TEST(LogPathsTest, OnlyTheFirstEightCharactersOfTheNameAreTheDate) {
    EXPECT_EQ(
        LogPathList("/l/20260110-agent.txt"),
        (Paths{"/l/20260110-agent.txt", "/l/20260109.log", "/l/20260108.log", "/l/20260107.log"}));
    EXPECT_EQ(LogPathList("20260110"),
              (Paths{"20260110", "20260109.log", "20260108.log", "20260107.log"}));
    EXPECT_EQ(LogPathList("/a/2024.05/20260110.log")[1], "/a/2024.05/20260109.log");
}

TEST(LogPathsTest, CalendarBoundaries) {
    EXPECT_EQ(LogPathList("/l/20260301.log"),
              (Paths{"/l/20260301.log", "/l/20260228.log", "/l/20260227.log", "/l/20260226.log"}));
    EXPECT_EQ(LogPathList("/l/20240302.log"),
              (Paths{"/l/20240302.log", "/l/20240301.log", "/l/20240229.log", "/l/20240228.log"}));
    EXPECT_EQ(LogPathList("/l/20260102.log"),
              (Paths{"/l/20260102.log", "/l/20260101.log", "/l/20251231.log", "/l/20251230.log"}));
    EXPECT_EQ(LogPathList("/l/20250501.log")[1], "/l/20250430.log");
    EXPECT_EQ(LogPathList("/l/20000301.log")[1], "/l/20000229.log");
    EXPECT_EQ(LogPathList("/l/19000301.log")[1], "/l/19000228.log");
    EXPECT_EQ(LogPathList("/l/20240229.log")[3], "/l/20240226.log");
}

TEST(LogPathsTest, NamesWithoutAValidDateFail) {
    for (const char* path :
         {"/l/20261307.log", "/l/20260007.log", "/l/20261232.log", "/l/20261200.log",
          "/l/20260230.log", "/l/20250229.log", "/l/19000229.log", "/l/2026120.log", "/l/", "",
          "/l/2026-12-07.log", "/l/2026120a.log", "/l/+2026120.log", "/l/ 20261207",
          "/l/00001207.log", "/l/00010102.log", "/20261207/x.log"}) {
        EXPECT_THROW(LogPathList(path), std::runtime_error) << path;
    }
}

TEST(LogPathsTest, FailureNamesThePath) {
    try {
        LogPathList("/var/kv/agent.log");
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("/var/kv/agent.log"), std::string::npos);
    }
}

}  // namespace
}  // namespace kv
