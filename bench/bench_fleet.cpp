// Runs kestrelviewctl fetch-all against fleets of scripted Agents on loopback addresses
// (127.0.x.y, all of this machine) and prints the wall time and the peak memory of each run:
// 220 Agents that all answer, with 32 requests in flight and one at a time; then 255 of
// which 25 accept and never answer and 10 refuse, with --timeout 10. Every setting has 128
// rows. Each run is killed after 60 s; it measures, it never fails on a time.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/ScriptedServer.h"
#include "support/TempDir.h"

extern char** environ;

namespace {

using kv::test::ScriptedServer;

constexpr auto kRunLimit = std::chrono::seconds(60);

std::string Address(std::size_t i) {
    return "127.0." + std::to_string(1 + i / 250) + "." + std::to_string(2 + i % 250);
}

std::string SettingReply() {
    std::string body;
    for (int row = 0; row < 128; ++row) {
        body += "\"/var/log/app" + std::to_string(row) +
                ".log\",\"ERROR\",\"2\",\"ops@example\",\"/usr/local/bin/notify.sh\"\r\n";
    }
    body += "\"subject\",\"line 1\tline 2\",\"smtp\",\"from@example\",\"server\"\r\n\"/log/x\"\r\n";
    return "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

enum class Kind { Answers, Silent, Refuses };

struct Run {
    double seconds = 0;
    long peakKiB = 0;
    int status = -1;
    std::size_t fetched = 0;
};

Run FetchAll(const std::vector<Kind>& kinds, const std::vector<std::string>& global,
             const std::vector<std::string>& command) {
    kv::test::TempDir data;
    kv::test::TempDir out;
    const std::string reply = SettingReply();
    std::vector<std::unique_ptr<ScriptedServer>> servers;
    std::uint16_t port = 0;
    std::string csv = "\"ServerName\",\"IPAddress\"\r\n\"DefaultSetting\",\"DefaultSetting\"\r\n";
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        csv += "\"s" + std::to_string(i) + "\",\"" + Address(i) + "\"\r\n";
        if (kinds[i] == Kind::Refuses) {
            continue;
        }
        std::vector<ScriptedServer::Reply> script{
            kinds[i] == Kind::Answers ? ScriptedServer::Reply{reply}
                                      : ScriptedServer::Reply{"", ScriptedServer::After::Hang}};
        servers.push_back(std::make_unique<ScriptedServer>(script, Address(i), port));
        port = servers.back()->Port();
    }
    data.Write("Server.csv", csv);

    const std::string program =
        std::filesystem::read_symlink("/proc/self/exe").parent_path().string() + "/kestrelviewctl";
    std::vector<std::string> arguments{program, "--data-dir", data.Path(), "--port",
                                       std::to_string(port)};
    arguments.insert(arguments.end(), global.begin(), global.end());
    arguments.push_back("fetch-all");
    arguments.push_back(out.Path());
    arguments.insert(arguments.end(), command.begin(), command.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);

    Run run;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", program.c_str());
        return run;
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, WNOHANG, &usage) == 0) {
        if (std::chrono::steady_clock::now() - start > kRunLimit) {
            kill(pid, SIGKILL);
        }
        usleep(2000);
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peakKiB = usage.ru_maxrss;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    for (const auto& entry : std::filesystem::directory_iterator(out.Path())) {
        run.fetched += entry.is_regular_file() ? 1 : 0;
    }
    return run;
}

void Print(const char* what, const Run& run, std::size_t expected) {
    std::printf("%-46s %7.3f s  peak %6.1f MB  exit %d  files %zu/%zu\n", what, run.seconds,
                static_cast<double>(run.peakKiB) / 1024.0, run.status, run.fetched, expected);
}

}  // namespace

int main() {
    const std::vector<Kind> answering(220, Kind::Answers);
    Print("220 answering, --jobs 32", FetchAll(answering, {}, {}), 220);
    Print("220 answering, --jobs 1", FetchAll(answering, {}, {"--jobs", "1"}), 220);

    std::vector<Kind> mixed(255, Kind::Answers);
    for (std::size_t i = 0; i < 35; ++i) {
        // Spread over the list, so the silent ones do not all start first.
        mixed[i * 7] = i < 25 ? Kind::Silent : Kind::Refuses;
    }
    Print("255: 25 silent, 10 refusing, --timeout 10", FetchAll(mixed, {"--timeout", "10"}, {}),
          220);
    return 0;
}
