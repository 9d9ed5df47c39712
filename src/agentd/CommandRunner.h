#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include <sys/types.h>

namespace kv::agentd {

struct CommandLimits {
    std::chrono::milliseconds timeLimit{60000};
    // After TERM, the group has this long before KILL.
    std::chrono::milliseconds killGrace{5000};
    std::size_t concurrent = 4;
    std::size_t queued = 64;
    std::size_t outputKept = 1024;
};

struct CommandJob {
    std::string command;  // UTF-8, run by /bin/sh -c
    // Added to the Agent's environment; the only way values reach the command.
    std::vector<std::pair<std::string, std::string>> environment;
};

struct CommandResult {
    bool started = false;
    std::string error;    // why it did not start
    int exitStatus = -1;  // -1 when killed by a signal
    int signal = 0;
    bool timedOut = false;
    std::string output;  // the first `outputKept` bytes of stdout and stderr together
    std::size_t outputBytes = 0;
};

// Runs commands on a few threads: /bin/sh -c, stdin from /dev/null, stdout and stderr to
// a pipe, each in its own process group so that the time limit reaches every child.
// A command ends when the shell has exited and nothing holds its output open any more.
class CommandRunner {
public:
    using Report = std::function<void(const CommandJob&, const CommandResult&)>;

    CommandRunner(CommandLimits limits, Report report);
    ~CommandRunner();
    CommandRunner(const CommandRunner&) = delete;
    CommandRunner& operator=(const CommandRunner&) = delete;

    // False when the queue is full; never blocks.
    bool Submit(CommandJob job);
    // Drops what has not started and ends the running commands as at their time limit.
    void Stop();

    // Runs one command on the calling thread; `stopping` shortens its time limit.
    static CommandResult Run(const CommandJob& job, const CommandLimits& limits,
                             const std::atomic<bool>& stopping);

private:
    void Work();

    CommandLimits limits_;
    Report report_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<CommandJob> queue_;
    std::atomic<bool> stopping_{false};
    std::vector<std::thread> workers_;
};

}  // namespace kv::agentd
