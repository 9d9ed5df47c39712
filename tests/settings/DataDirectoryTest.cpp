#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "settings/DataDirectory.h"
#include "support/TempDir.h"

namespace kv::settings {
namespace {

using Args = std::vector<std::string>;
using Text = std::optional<std::string>;

// Every choice of the rule in one table; the user directories live in a temporary
// directory, since the installed rule creates its directory.
TEST(DataDirectoryRule, TheFirstThatAppliesWins) {
    const test::TempDir user;
    const std::string xdg = user.Path() + "/xdg";
    const std::string home = user.Path() + "/home";
    const std::string bin = "/opt/kv-installed/bin";
    const std::string installed = bin + "/kestrelview";
    struct Case {
        const char* what;
        Args arguments;
        Text environment;
        std::string executable;
        Text xdgDataHome;
        Text home;
        std::string expected;
    };
    const Case cases[] = {
        {"build directory", {}, {}, "/src/build/bin/kestrelview", xdg, home, "/src/build/bin/"},
        {"copy elsewhere", {}, {}, "/opt/kv/bin/kestrelview", xdg, home, "/opt/kv/bin/"},
        {"bin's subdirectory", {}, {}, bin + "/x/kestrelview", xdg, home, bin + "/x/"},
        {"bin's look-alike", {}, {}, bin + "x/kestrelview", xdg, home, bin + "x/"},
        {"no executable path", {}, {}, "", xdg, home, "./"},
        {"installed, XDG_DATA_HOME", {}, {}, installed, xdg, home, xdg + "/kestrelview/"},
        {"installed, XDG_DATA_HOME/", {}, {}, installed, xdg + "/", home, xdg + "/kestrelview/"},
        {"installed, no XDG_DATA_HOME",
         {},
         {},
         installed,
         {},
         home,
         home + "/.local/share/kestrelview/"},
        {"installed, empty XDG_DATA_HOME",
         {},
         {},
         installed,
         "",
         home,
         home + "/.local/share/kestrelview/"},
        {"installed, relative XDG_DATA_HOME",
         {},
         {},
         installed,
         "rel",
         home,
         home + "/.local/share/kestrelview/"},
        {"installed, variable", {}, "/srv/env", installed, xdg, home, "/srv/env/"},
        {"installed, empty variable", {}, "", installed, xdg, home, xdg + "/kestrelview/"},
        {"installed, option",
         {"--data-dir", "/srv/opt"},
         "/srv/env",
         installed,
         xdg,
         home,
         "/srv/opt/"},
        {"installed, no home but an option",
         {"--data-dir=/srv/eq"},
         {},
         installed,
         {},
         {},
         "/srv/eq/"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ResolveDataDirectory(c.arguments, c.environment, c.executable,
                                       {c.xdgDataHome, c.home}, bin),
                  c.expected)
            << c.what;
    }
    EXPECT_EQ(ResolveDataDirectory({}, {}, installed, {xdg, home}, bin + "/"),
              xdg + "/kestrelview/");
    EXPECT_THROW(ResolveDataDirectory({}, {}, installed, {{}, {}}, bin), std::invalid_argument);
    EXPECT_THROW(ResolveDataDirectory({}, {}, installed, {"rel", "also-rel"}, bin),
                 std::invalid_argument);
}

// A fresh home: every missing part is made private to the user, and the first-run files
// follow; a home that exists keeps its mode and its files.
TEST(DataDirectoryRule, TheInstalledDirectoryIsMadeOnFirstStart) {
    const test::TempDir user;
    const std::string home = user.Path() + "/home";
    ::mkdir(home.c_str(), 0755);
    const std::string bin = user.Path() + "/bin";
    ::mkdir(bin.c_str(), 0755);

    const std::string dir = ResolveDataDirectory({}, {}, bin + "/kestrelview", {{}, home}, bin);
    ASSERT_EQ(dir, home + "/.local/share/kestrelview/");
    for (const std::string& made : {home + "/.local", home + "/.local/share", dir}) {
        struct stat info {};
        ASSERT_EQ(::stat(made.c_str(), &info), 0) << made;
        EXPECT_EQ(info.st_mode & 07777, 0700u) << made;
    }
    struct stat homeInfo {};
    ::stat(home.c_str(), &homeInfo);
    EXPECT_EQ(homeInfo.st_mode & 07777, 0755u);

    CreateFirstRunFiles(dir);
    user.Write("home/.local/share/kestrelview/Server.csv", "mine");
    EXPECT_EQ(ResolveDataDirectory({}, {}, bin + "/kestrelview", {{}, home}, bin), dir);
    CreateFirstRunFiles(dir);
    EXPECT_EQ(user.Read("home/.local/share/kestrelview/Server.csv"), "mine");
    EXPECT_TRUE(std::filesystem::exists(dir + "env.csv"));

    // The bin directory named through a symbolic link is still the same directory.
    std::filesystem::create_directory_symlink(bin, user.Path() + "/linked-bin");
    EXPECT_EQ(
        ResolveDataDirectory({}, {}, bin + "/kestrelview", {{}, home}, user.Path() + "/linked-bin"),
        dir);
}

}  // namespace
}  // namespace kv::settings
