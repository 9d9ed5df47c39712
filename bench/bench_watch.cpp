// The Agent's watching (its matching speed is bench_match's): rotations and restarts under a
// steady line rate, lines lost and counted twice; wake-ups and resident memory of an idle
// Agent with 128 rows.
// Usage: bench_watch [rotations of each kind, default 100] [restarts, default 10]
//                    [idle seconds, default 12] [milliseconds between rotations, default 200]

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ProcStatus.h"
#include "agentd/DailyLog.h"
#include "agentd/WatchEngine.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using kv::agentd::WatchEngine;
using namespace kv::bench;

// A writer at a steady rate, rotations of one kind by hand, the engine on its own thread,
// restarted now and then (cleanly or as by a crash): lines lost and counted twice.
void Rotations(const std::string& kind, int rotations, int restarts,
               std::chrono::milliseconds interval, const std::string& dir) {
    const std::string file = dir + "/" + kind + ".log";
    kv::agentd::DailyLog log(dir, "/", [] { return std::time(nullptr); });
    std::vector<int> seen;
    class Counting : public kv::agentd::FiredRowSink {
    public:
        explicit Counting(std::vector<int>& seen) : seen_(seen) {}
        void Fire(const kv::agentd::FiredRow& fired) override {
            seen_.push_back(std::atoi(fired.resultLine.c_str() + 5));
            ++counted;
        }
        std::atomic<std::size_t> counted = 0;

    private:
        std::vector<int>& seen_;
    } sink(seen);
    const std::string state = dir + "/" + kind + ".state";
    const std::vector<kv::settings::WatchRow> rows{{file, "line", "1", "", ""}};
    std::ofstream(file).flush();
    std::mutex gate;
    std::atomic<bool> stop = false;
    std::atomic<int> written = 0;
    // Applied before the first line: the file's present end is where counting starts.
    auto first = std::make_unique<WatchEngine>(state, kv::agentd::WatchTiming{}, sink, log);
    first->Apply(rows, {}, "bench");
    std::thread writer([&] {
        // 10,000 lines a second, in steps of 10 lines a millisecond.
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; !stop; i += 10) {
            std::this_thread::sleep_until(start + std::chrono::milliseconds(i / 10));
            std::string lines;
            for (int k = i; k < i + 10; ++k) {
                lines += "line " + std::to_string(k) + "\n";
            }
            std::lock_guard hold(gate);
            const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
            const bool whole = ::write(fd, lines.data(), lines.size()) == ssize_t(lines.size());
            ::close(fd);
            if (!whole) {
                break;
            }
            written = i + 10;
        }
    });
    std::atomic<bool> restart = false;
    std::atomic<bool> crash = false;
    std::atomic<bool> finished = false;
    std::thread loop([&] {
        auto engine = std::move(first);
        // Once the writer has stopped, at most a few seconds to catch up.
        auto deadline = std::chrono::steady_clock::time_point::max();
        while (!finished || sink.counted < std::size_t(written.load())) {
            if (finished && deadline == std::chrono::steady_clock::time_point::max()) {
                deadline = std::chrono::steady_clock::now() + 10s;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                break;
            }
            engine->OnEvents();
            engine->Tick();
            if (restart.exchange(false)) {
                if (!crash) {
                    engine->Save();
                }
                engine = std::make_unique<WatchEngine>(state, kv::agentd::WatchTiming{}, sink, log);
                engine->Apply(rows, {}, "bench");
            }
            std::this_thread::sleep_for(1ms);
            if (finished && sink.counted > std::size_t(written.load())) {
                break;
            }
        }
        engine->Save();
    });
    const auto started = std::chrono::steady_clock::now();
    const int every = restarts > 0 ? std::max(1, rotations / restarts) : rotations + 1;
    for (int r = 1; r <= rotations && std::chrono::steady_clock::now() - started < 10min; ++r) {
        // Each rotation names its file anew, as logrotate's numbering and dates do.
        std::this_thread::sleep_for(interval);
        std::error_code missing;  // the writer makes the file again at its next line
        if (kind == "create") {
            fs::rename(file, file + "." + std::to_string(r), missing);
        } else if (kind == "delete") {
            // The old file is gone with its name: only what was read before counts, so the
            // writer is held until the engine has read everything written so far.
            std::lock_guard hold(gate);
            for (const auto until = std::chrono::steady_clock::now() + 1s;
                 sink.counted < std::size_t(written.load()) &&
                 std::chrono::steady_clock::now() < until;) {
                std::this_thread::sleep_for(1ms);
            }
            fs::remove(file, missing);
        } else {
            std::lock_guard hold(gate);
            fs::copy_file(file, file + "." + std::to_string(r));
            fs::resize_file(file, 0);
        }
        if (r % every == 0) {
            crash = (r / every) % 2 == 0;
            restart = true;
        }
    }
    std::this_thread::sleep_for(100ms);
    stop = true;
    writer.join();
    finished = true;
    loop.join();
    std::sort(seen.begin(), seen.end());
    int lost = 0;
    int twice = 0;
    std::size_t at = 0;
    for (int i = 0; i < written; ++i) {
        int times = 0;
        for (; at < seen.size() && seen[at] == i; ++at) {
            ++times;
        }
        lost += times == 0;
        twice += times > 1 ? times - 1 : 0;
    }
    std::printf(
        "%-12s %4d rotations, %2d restarts, %7d lines at 10,000/s in %.1f s: %d lost, "
        "%d counted twice\n",
        kind.c_str(), rotations, restarts, written.load(),
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(), lost,
        twice);
}

void Idle(int seconds, const std::string& dir) {
    fs::create_directories(dir + "/idle/state");
    fs::create_directories(dir + "/idle/root");
    std::string setting;
    for (int i = 0; i < 128; ++i) {
        const std::string file = dir + "/idle/app" + std::to_string(i % 16) + ".log";
        std::ofstream(file, std::ios::app).flush();
        setting += "\"" + file + "\",\"word" + std::to_string(i) + "\",\"3\",\"\",\"\"\r\n";
    }
    setting += "\"s\",\"b\",\"\",\"\",\"\"\r\n\r\n";
    std::ofstream(dir + "/idle/state/WatchSetting.txt", std::ios::binary) << setting;
    const std::string agent =
        fs::read_symlink("/proc/self/exe").parent_path() / "kestrelview-agent";
    std::vector<std::string> args{
        agent, "--port", "0", "--root", dir + "/idle/root", "--state-dir", dir + "/idle/state"};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (posix_spawn(&pid, agent.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
        std::printf("idle: cannot start %s\n", agent.c_str());
        return;
    }
    posix_spawn_file_actions_destroy(&actions);
    std::this_thread::sleep_for(1s);
    const long before = StatusField("voluntary_ctxt_switches", std::to_string(pid));
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const long after = StatusField("voluntary_ctxt_switches", std::to_string(pid));
    std::printf(
        "idle Agent, 128 rows over 16 files, %d s: %ld wake-ups (%.2f a second), resident "
        "%ld kB (peak %ld kB)\n",
        seconds, after - before, double(after - before) / seconds,
        StatusField("VmRSS", std::to_string(pid)), StatusField("VmHWM", std::to_string(pid)));
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

}  // namespace

int main(int argc, char** argv) {
    const int rotations = argc > 1 ? std::atoi(argv[1]) : 100;
    const int restarts = argc > 2 ? std::atoi(argv[2]) : 10;
    const int idle = argc > 3 ? std::atoi(argv[3]) : 12;
    const std::chrono::milliseconds interval(argc > 4 ? std::atoi(argv[4]) : 200);
    char pattern[] = "/tmp/kv-bench-watch-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        return 1;
    }
    const std::string dir = pattern;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    for (const char* kind : {"create", "copytruncate", "delete"}) {
        Rotations(kind, rotations, restarts, interval, dir);
    }
    if (idle > 0) {
        Idle(idle, dir);
    }
    fs::remove_all(dir);
    return 0;
}
