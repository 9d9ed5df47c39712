// The whole path an administrator relies on: a setting uploaded with kestrelviewctl is
// watched by the Agent at once, lines appended to the watched file bring mail through a real
// SMTP server and run the command, and kestrelviewctl's log shows what was done.

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "RunningAgent.h"
#include "cli/ProcessRun.h"
#include "support/SmtpSink.h"
#include "support/TempDir.h"
#include "text/Cp932.h"

using namespace kv::text;
using namespace std::chrono_literals;

namespace kv {
namespace {

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

TEST(FleetEndToEnd, UploadedRowsAreWatchedMailedRunAndLogged) {
    test::SmtpSink sink;
    test::RunningAgent agent("e2e");
    test::TempDir data;
    test::TempDir work;
    const std::string watched = agent.Dir().File("root/var/log/app.log");
    const std::string marker = work.File("ran");
    // Shift_JIS as a local setting file is; the string arrives in a UTF-8 log line.
    work.Write("setting.txt",
               "\"" + watched + "\",\"" + Sjis("エラー") +
                   "\",\"2\",\"ops@localhost; dev@localhost\",\"echo $KV_WATCH_NUM >> " + marker +
                   "\"\r\n\"" + Sjis("障害 \\ServerName\\") + "\",\"" +
                   Sjis("\\WatchNum\\ 回目: \\ResultLine\\") + "\t" + Sjis("以上") + "\",\"" +
                   sink.Server() + "\",\"agent@localhost\",\"" + Sjis("本番") + "\"\r\n\"\"\r\n");
    const auto ctl = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(),
                         {"--data-dir", data.Path(), "--port", agent.PortText()});
        return test::RunCtl(std::move(arguments));
    };
    // Watching starts at the file's end as the upload is accepted: the line already there
    // never counts, every line written after the answer does.
    std::ofstream(watched, std::ios::app | std::ios::binary) << "エラー 0\n";
    const auto put = ctl({"put-setting", "127.0.0.1", work.File("setting.txt")});
    ASSERT_EQ(put.status, 0) << put.err;
    // The matched line reaches the command only as a variable: nothing in it runs.
    const std::string injected = work.File("injected");
    const std::string lines[] = {"エラー 2 `touch " + injected + "` $(touch " + injected + ")",
                                 "エラー 4 \"q\" ' \\"};
    std::ofstream(watched, std::ios::app | std::ios::binary)
        << "エラー 1\nok\n" + lines[0] + "\nエラー 3\n" + lines[1] + "\n";

    const auto mails = sink.WaitFor(2, 30s);
    ASSERT_EQ(mails.size(), 2u);
    for (std::size_t i = 0; i < mails.size(); ++i) {
        EXPECT_EQ(mails[i].from, "agent@localhost");
        EXPECT_EQ(mails[i].to, "ops@localhost,dev@localhost");
        EXPECT_EQ(mails[i].subject, "障害 e2e");  // the name the Agent answers with
        EXPECT_EQ(mails[i].body, "2 回目: " + lines[i] + "\n以上\n") << mails[i].body;
    }
    std::string ran;
    for (int i = 0; i < 500 && ran != "2\n2\n"; ++i) {
        std::this_thread::sleep_for(20ms);
        std::ifstream in(marker);
        ran.assign(std::istreambuf_iterator<char>(in), {});
    }
    EXPECT_EQ(ran, "2\n2\n") << ctl({"log", "127.0.0.1"}).out;
    EXPECT_FALSE(std::filesystem::exists(injected));

    std::string log;
    for (int i = 0; i < 100 && Count(log, "メールを送信しました。") < 2; ++i) {
        std::this_thread::sleep_for(50ms);
        log = ctl({"log", "127.0.0.1"}).out;
    }
    EXPECT_EQ(Count(log, "回検出しました。"), 2u) << log;
    EXPECT_EQ(Count(log, "メールを送信しました。"), 2u) << log;
}

}  // namespace
}  // namespace kv
