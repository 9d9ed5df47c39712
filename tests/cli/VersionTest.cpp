#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "ProcessRun.h"
#include "settings/BuildInfo.h"

namespace kv {
namespace {

// Each program answers --version without a display, a data directory or a network; the
// window exists only in builds with Qt.
TEST(Version, EveryProgramShowsTheOneVersion) {
    int found = 0;
    for (const std::string program : {"kestrelviewctl", "kestrelview-agent", "kestrelview"}) {
        const std::string path = test::BinDir() + "/" + program;
        if (program == "kestrelview" && !std::filesystem::exists(path)) {
            continue;
        }
        ++found;
        test::ProcessLaunch launch;
        launch.program = path;
        launch.arguments = {"--version"};
        launch.environment = {{"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt}};
        const test::ProcessResult result = test::RunProcess(launch);
        EXPECT_EQ(result.status, 0) << program << result.err;
        EXPECT_EQ(result.out, program + " " + settings::kVersion + "\n");
        EXPECT_EQ(result.err, "");
    }
    EXPECT_GE(found, 2);
}

}  // namespace
}  // namespace kv
