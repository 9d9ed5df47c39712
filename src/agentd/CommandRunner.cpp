#include "agentd/CommandRunner.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "agentd/UniqueFd.h"

extern char** environ;

namespace kv::agentd {
namespace {

using Clock = std::chrono::steady_clock;

// The Agent's environment without KV_ names (a stale one must not pass for the row's),
// then the job's own.
std::vector<std::string> Environment(const CommandJob& job) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, "KV_", 3) != 0) {
            entries.emplace_back(*entry);
        }
    }
    for (const auto& [name, value] : job.environment) {
        entries.push_back(name + "=" + value);
    }
    return entries;
}

struct SpawnSetup {
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;

    explicit SpawnSetup(int outputFd) {
        posix_spawnattr_init(&attributes);
        posix_spawn_file_actions_init(&actions);
        // Own process group, default signal dispositions (the Agent ignores SIGPIPE) and
        // nothing blocked.
        sigset_t none;
        sigemptyset(&none);
        sigset_t all;
        sigfillset(&all);
        posix_spawnattr_setflags(
            &attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
        posix_spawnattr_setpgroup(&attributes, 0);
        posix_spawnattr_setsigdefault(&attributes, &all);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, outputFd, 1);
        posix_spawn_file_actions_adddup2(&actions, outputFd, 2);
        posix_spawn_file_actions_addchdir_np(&actions, "/");
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

}  // namespace

CommandResult CommandRunner::Run(const CommandJob& job, const CommandLimits& limits,
                                 const std::atomic<bool>& stopping) {
    CommandResult result;
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        result.error = std::strerror(errno);
        return result;
    }
    UniqueFd output(ends[0]);
    UniqueFd input(ends[1]);
    std::vector<std::string> environment = Environment(job);
    std::vector<char*> envp;
    for (std::string& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    std::string shell = "/bin/sh";
    std::string dashC = "-c";
    std::string command = job.command;
    std::array<char*, 4> argv = {shell.data(), dashC.data(), command.data(), nullptr};
    pid_t pid = -1;
    {
        SpawnSetup setup(input.Get());
        const int error = posix_spawn(&pid, "/bin/sh", &setup.actions, &setup.attributes,
                                      argv.data(), envp.data());
        if (error != 0) {
            result.error = std::strerror(error);
            return result;
        }
    }
    result.started = true;
    input.Reset();
    fcntl(output.Get(), F_SETFL, O_NONBLOCK);

    const auto started = Clock::now();
    auto deadline = started + limits.timeLimit;
    bool termSent = false;
    bool killSent = false;
    bool exited = false;
    bool outputOpen = true;
    std::array<char, 16 * 1024> buffer{};
    while (!exited || outputOpen) {
        const auto now = Clock::now();
        if (stopping && !termSent) {
            deadline = std::min(deadline, now);
        }
        if (now >= deadline) {
            if (!termSent) {
                result.timedOut = !stopping;
                kill(-pid, SIGTERM);
                termSent = true;
                deadline = now + limits.killGrace;
            } else if (!killSent) {
                kill(-pid, SIGKILL);
                killSent = true;
                deadline = now + limits.killGrace;
            } else {
                // Something outside the group holds the output: stop reading it.
                outputOpen = false;
            }
        }
        if (outputOpen) {
            pollfd watch{output.Get(), POLLIN, 0};
            poll(&watch, 1, 50);
            while (true) {
                const ssize_t got = ::read(output.Get(), buffer.data(), buffer.size());
                if (got > 0) {
                    const auto size = static_cast<std::size_t>(got);
                    result.outputBytes += size;
                    const std::size_t room = limits.outputKept - result.output.size();
                    result.output.append(buffer.data(), std::min(room, size));
                    continue;
                }
                if (got == 0) {
                    outputOpen = false;
                }
                break;
            }
        } else if (!exited) {
            usleep(20000);
        }
        if (!exited) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                exited = true;
                result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
            }
        }
    }
    return result;
}

CommandRunner::CommandRunner(CommandLimits limits, Report report)
    : limits_(limits), report_(std::move(report)) {
    for (std::size_t i = 0; i < std::max<std::size_t>(limits_.concurrent, 1); ++i) {
        workers_.emplace_back([this] { Work(); });
    }
}

CommandRunner::~CommandRunner() {
    Stop();
}

bool CommandRunner::Submit(CommandJob job) {
    {
        const std::lock_guard lock(mutex_);
        if (stopping_ || queue_.size() >= limits_.queued) {
            return false;
        }
        queue_.push_back(std::move(job));
    }
    wake_.notify_one();
    return true;
}

void CommandRunner::Stop() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        queue_.clear();
    }
    wake_.notify_all();
    for (std::thread& worker : workers_) {
        if (worker.joinable()) {
            worker.join();
        }
    }
}

void CommandRunner::Work() {
    while (true) {
        CommandJob job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_) {
                return;
            }
            job = std::move(queue_.front());
            queue_.pop_front();
        }
        report_(job, Run(job, limits_, stopping_));
    }
}

}  // namespace kv::agentd
