#include <gtest/gtest.h>

#include "cli/CommandArguments.h"
#include "cli/CommandLine.h"
#include "cli/UsageError.h"

using namespace kv::cli;

namespace kv {
namespace {

using Args = std::vector<std::string>;

TEST(CommandLineTest, GlobalOptionsStopAtTheCommand) {
    const CommandLine line =
        ParseCommandLine({"--data-dir", "d", "--raw", "--user=u", "--password", "p", "--port=5000",
                          "--timeout", "7", "log", "--port", "x", "127.200.3.4"});
    EXPECT_EQ(line.options.dataDir, "d");
    EXPECT_TRUE(line.options.raw);
    EXPECT_EQ(line.options.user, "u");
    EXPECT_EQ(line.options.password, "p");
    EXPECT_EQ(line.options.port, "5000");
    EXPECT_EQ(line.options.timeoutSeconds, 7);
    EXPECT_EQ(line.command, "log");
    // What follows the command is the command's, even when it looks like a global option.
    EXPECT_EQ(line.arguments, (Args{"--port", "x", "127.200.3.4"}));
}

TEST(CommandLineTest, DefaultsAndAnEmptyLine) {
    const CommandLine line = ParseCommandLine({});
    EXPECT_TRUE(line.command.empty());
    EXPECT_FALSE(line.options.dataDir);
    EXPECT_FALSE(line.options.raw);
    EXPECT_EQ(line.options.user, "root");
    EXPECT_EQ(line.options.password, "plumtree");
    EXPECT_EQ(line.options.port, "4009");
    EXPECT_EQ(line.options.timeoutSeconds, 60);
    // An empty password is a value like any other.
    EXPECT_EQ(ParseCommandLine({"--password=", "servers"}).options.password, "");
}

TEST(CommandLineTest, RefusesWhatItCannotRead) {
    for (const Args& args : {Args{"--bogus", "servers"}, Args{"--port"}, Args{"--raw=1", "servers"},
                             Args{"--data-dir", "", "servers"}, Args{"--data-dir="},
                             Args{"--timeout", "0", "log"}, Args{"--timeout", "1.5", "log"},
                             Args{"--timeout", "-3", "log"}, Args{"--timeout", "99999999999"}}) {
        EXPECT_THROW(ParseCommandLine(args), UsageError) << args[0] << " " << args.size();
    }
}

const CommandSyntax kLogSyntax{{{"--day", true}, {"--save", false}}, 1, 2};

TEST(CommandArgumentsTest, OptionsAnywhereInBothForms) {
    const CommandArguments a({"--day", "2", "host", "--save"}, kLogSyntax);
    EXPECT_EQ(a.Count(), 1u);
    EXPECT_EQ(a.Positional(0), "host");
    EXPECT_EQ(a.Value("--day"), "2");
    EXPECT_TRUE(a.Has("--save"));
    EXPECT_EQ(a.Number("--day", 0, 3, 0), 2);

    const CommandArguments b({"host", "--day=3"}, kLogSyntax);
    EXPECT_EQ(b.Number("--day", 0, 3, 0), 3);
    EXPECT_FALSE(b.Has("--save"));
    EXPECT_EQ(CommandArguments({"host"}, kLogSyntax).Number("--day", 0, 3, 0), 0);
}

TEST(CommandArgumentsTest, DoubleDashEndsTheOptions) {
    const CommandArguments a({"--", "--day", "-"}, kLogSyntax);
    EXPECT_EQ(a.Count(), 2u);
    EXPECT_EQ(a.Positional(0), "--day");
    EXPECT_EQ(a.Positional(1), "-");
    EXPECT_FALSE(a.Has("--day"));
}

TEST(CommandArgumentsTest, UsageErrors) {
    for (const Args& args : {Args{}, Args{"a", "b", "c"}, Args{"a", "--bogus"}, Args{"a", "--day"},
                             Args{"a", "--day", "1", "--day", "2"}, Args{"a", "--save=yes"}}) {
        EXPECT_THROW(CommandArguments(args, kLogSyntax), UsageError) << args.size();
    }
    const CommandArguments a({"a", "--day", "4"}, kLogSyntax);
    EXPECT_THROW(a.Number("--day", 0, 3, 0), UsageError);
    const CommandArguments b({"a", "--day", "1x"}, kLogSyntax);
    EXPECT_THROW(b.Number("--day", 0, 3, 0), UsageError);
}

TEST(CommandArgumentsTest, HelpNeedsNoArguments) {
    const CommandArguments a({"--help"}, kLogSyntax);
    EXPECT_TRUE(a.Help());
}

}  // namespace
}  // namespace kv
