#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "ProcessRun.h"
#include "cli/CliCommands.h"
#include "support/TempDir.h"
#include "text/Cp932.h"

using namespace kv::text;
using namespace kv::agent;
using namespace kv::cli;

namespace kv {
namespace {

using test::RunCtl;

std::string ServerCsv(const std::string& name) {
    return "\"ServerName\",\"IPAddress\"\r\n\"DefaultSetting\",\"DefaultSetting\"\r\n\"" + name +
           "\",\"127.10.0.1\"\r\n";
}

TEST(HelpTest, ListsEveryCommandWithItsUsage) {
    const auto result = RunCtl({"--help"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    for (const CliCommand& command : CliCommands()) {
        std::string synopsis(command.name);
        if (!command.usage.empty()) {
            synopsis += " " + std::string(command.usage);
        }
        EXPECT_NE(result.out.find("  " + synopsis), std::string::npos) << synopsis;
    }
    for (const char* option :
         {"--data-dir DIR", "--raw", "--user", "--password", "--port", "--timeout SECONDS"}) {
        EXPECT_NE(result.out.find(option), std::string::npos) << option;
    }
}

TEST(HelpTest, ACommandsOwnHelp) {
    const auto result = RunCtl({"log", "--help"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out.find("Usage: kestrelviewctl [OPTION]... log ADDRESS [--day N]\n"), 0u)
        << result.out;
}

TEST(UsageTest, MistakesOfTheLineExitWithTwo) {
    for (const auto& arguments : {std::vector<std::string>{},
                                  {"bogus"},
                                  {"--bogus", "servers"},
                                  {"servers", "extra"},
                                  {"servers", "--bogus"},
                                  {"--timeout", "0", "servers"},
                                  {"--data-dir"},
                                  {"log", "127.200.3.4", "--day", "4"},
                                  {"log", "127.200.3.4", "--day", "-1"},
                                  {"discover", "--wait", "x"},
                                  {"fetch-all"},
                                  {"put-setting", "127.200.3.4"},
                                  {"view", "127.200.3.4"}}) {
        const auto result = RunCtl(arguments);
        std::string line;
        for (const std::string& argument : arguments) {
            line += argument + " ";
        }
        EXPECT_EQ(result.status, 2) << line;
        EXPECT_EQ(result.out, "") << line;
        EXPECT_NE(result.err.find("kestrelviewctl: "), std::string::npos) << line << result.err;
    }
}

TEST(PortTest, TheManagersRangeAndMessage) {
    test::TempDir dir;
    for (const char* port : {"1023", "65535", "0", "abc", "", "40 09", "4009x", "-4009"}) {
        const auto result = RunCtl({"--data-dir", dir.Path(), "--port", port, "servers"});
        EXPECT_EQ(result.status, 2) << port;
        EXPECT_EQ(result.out, "") << port;
        EXPECT_EQ(result.err, "ポートの指定範囲は1024-65534です。\n") << port;
    }
    for (const char* port : {"1024", "65534", " 8080 "}) {
        const auto result = RunCtl({"--data-dir", dir.Path(), "--port", port, "servers"});
        EXPECT_EQ(result.status, 0) << port << result.err;
    }
    const auto raw = RunCtl({"--raw", "--port=1", "servers"});
    EXPECT_EQ(raw.status, 2);
    EXPECT_EQ(raw.err, Sjis("ポートの指定範囲は1024-65534です。") + "\n");
}

class DataDirectoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        program = home.File("kestrelviewctl");
        std::filesystem::copy_file(test::BinDir() + "/kestrelviewctl", program);
        home.Write("Server.csv", ServerCsv("beside the program"));
        fromEnvironment.Write("Server.csv", ServerCsv("from the environment"));
        fromOption.Write("Server.csv", ServerCsv("from the option"));
    }

    std::string NameListed(const test::ProcessResult& result) {
        EXPECT_EQ(result.status, 0) << result.err;
        const std::size_t tab = result.out.rfind('\t');
        return result.out.substr(tab + 1, result.out.size() - tab - 2);
    }

    test::TempDir home;
    test::TempDir fromEnvironment;
    test::TempDir fromOption;
    std::string program;
};

TEST_F(DataDirectoryTest, TheProgramsDirectoryByDefault) {
    EXPECT_EQ(NameListed(RunCtl({"servers"}, "", {}, program)), "beside the program");
    // An empty variable is no choice.
    EXPECT_EQ(NameListed(RunCtl({"servers"}, "", {{"KESTRELVIEW_DATA_DIR", ""}}, program)),
              "beside the program");
}

TEST_F(DataDirectoryTest, TheEnvironmentOverridesTheDefault) {
    EXPECT_EQ(NameListed(RunCtl({"servers"}, "", {{"KESTRELVIEW_DATA_DIR", fromEnvironment.Path()}},
                                program)),
              "from the environment");
}

TEST_F(DataDirectoryTest, TheOptionWinsInBothForms) {
    const std::map<std::string, std::optional<std::string>> environment{
        {"KESTRELVIEW_DATA_DIR", fromEnvironment.Path()}};
    EXPECT_EQ(
        NameListed(RunCtl({"--data-dir", fromOption.Path(), "servers"}, "", environment, program)),
        "from the option");
    EXPECT_EQ(NameListed(RunCtl({"--data-dir=" + fromOption.Path() + "/", "servers"}, "",
                                environment, program)),
              "from the option");
}

TEST_F(DataDirectoryTest, FilesAreWrittenThere) {
    const auto result = RunCtl({"remove", "127.10.0.1"}, "",
                               {{"KESTRELVIEW_DATA_DIR", fromEnvironment.Path()}}, program);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(fromEnvironment.Read("Server.csv"),
              "\"ServerName\",\"IPAddress\"\r\n\"DefaultSetting\",\"DefaultSetting\"\r\n");
    EXPECT_EQ(home.Read("Server.csv"), ServerCsv("beside the program"));
}

}  // namespace
}  // namespace kv
