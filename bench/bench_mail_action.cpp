// From a fired watch row to its mail accepted by an SMTP server on loopback: the test
// SMTP server (python3-aiosmtpd) stores each message before it answers 250, so the time
// until its file appears is the time to acceptance. Prints median, 90th percentile and
// worst of a number of sequential fires. It measures; it never fails on a time.
//
// Usage: bench_mail_action [PATH/TO/smtp_sink.py] (default tests/support/smtp_sink.py,
// run from the source tree).

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "agentd/ActionRunner.h"
#include "text/Cp932.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kFires = 60;

std::size_t Stored(const std::string& directory) {
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(directory)) {
        count += entry.path().extension() == ".txt" ? 1 : 0;
    }
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string script = argc > 1 ? argv[1] : "tests/support/smtp_sink.py";
    char pattern[] = "/tmp/kvbench-mail-XXXXXX";
    const std::string base = mkdtemp(pattern);
    fs::create_directories(base + "/mail");
    int out[2];
    if (pipe(out) != 0) {
        return 1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::string python = "/usr/bin/python3";
    std::string mailDir = base + "/mail";
    std::vector<char*> args = {python.data(), const_cast<char*>(script.c_str()), mailDir.data(),
                               nullptr};
    pid_t server = -1;
    if (posix_spawn(&server, python.c_str(), &actions, nullptr, args.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", script.c_str());
        return 1;
    }
    close(out[1]);
    std::string line;
    char c = 0;
    while (read(out[0], &c, 1) == 1 && c != '\n') {
        line += c;
    }
    if (!line.starts_with("port ")) {
        std::fprintf(stderr, "the SMTP server did not start: %s\n", line.c_str());
        kill(server, SIGTERM);
        waitpid(server, nullptr, 0);
        return 1;
    }
    const std::string port = line.substr(5);

    std::vector<double> millis;
    {
        kv::agentd::DailyLog log(base, "/", [] { return std::time(nullptr); });
        kv::agentd::ActionSettings settings;
        settings.spoolDirectory = base + "/spool";
        settings.ipAddress = "127.0.0.1";
        kv::agentd::ActionRunner runner(settings, log);
        kv::agentd::FiredRow fired;
        fired.row = {"/var/log/app.log", "ERROR", "3", "ops@x.test,dev@x.test", ""};
        fired.mail = {kv::text::Sjis("障害検知 \\ServerName\\"),
                      kv::text::Sjis("行: \\ResultLine\\"), "127.0.0.1:" + port, "agent@x.test"};
        fired.serverName = "bench";
        fired.resultLine = "2026-03-01 12:00:00 ERROR disk full";
        for (int i = 0; i < kFires; ++i) {
            const auto start = Clock::now();
            runner.Fire(fired);
            const auto deadline = start + std::chrono::seconds(30);
            while (Stored(mailDir) < static_cast<std::size_t>(i + 1) && Clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            millis.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
    }
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    fs::remove_all(base);

    std::sort(millis.begin(), millis.end());
    std::printf("fire -> mail accepted by SMTP on loopback, %d mails, 2 recipients each\n", kFires);
    std::printf("  median %.2f ms   p90 %.2f ms   worst %.2f ms\n", millis[millis.size() / 2],
                millis[millis.size() * 9 / 10], millis.back());
    return 0;
}
