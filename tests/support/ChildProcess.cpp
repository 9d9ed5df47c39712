#include "support/ChildProcess.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kv::test {

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& environment) {
    int pipeFds[2];
    if (argv.empty() || pipe2(pipeFds, O_CLOEXEC) != 0) {
        throw std::runtime_error("ChildProcess: no program or no pipe");
    }
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        dup2(pipeFds[1], 1);
        dup2(pipeFds[1], 2);
        for (const std::string& variable : environment) {
            putenv(const_cast<char*>(variable.c_str()));
        }
        execv(args[0], args.data());
        _exit(127);
    }
    close(pipeFds[1]);
    out_ = pipeFds[0];
    if (pid_ < 0) {
        close(out_);
        throw std::runtime_error("ChildProcess: fork failed");
    }
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !reaped_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    close(out_);
}

bool ChildProcess::ReadSome(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
        return false;
    }
    pollfd p{out_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) != 1) {
        return false;
    }
    char buffer[4096];
    const ssize_t got = read(out_, buffer, sizeof buffer);
    if (got <= 0) {
        return false;
    }
    output_.append(buffer, static_cast<std::size_t>(got));
    return true;
}

std::string ChildProcess::FirstLine(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (output_.find('\n') == std::string::npos && ReadSome(deadline)) {
    }
    return output_.substr(0, output_.find('\n'));
}

const std::string& ChildProcess::AllOutput(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (ReadSome(deadline)) {
    }
    return output_;
}

bool ChildProcess::WaitForOutput(const std::string& text, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (output_.find(text) == std::string::npos) {
        if (!ReadSome(deadline)) {
            return false;
        }
    }
    return true;
}

void ChildProcess::Signal(int number) const {
    if (pid_ > 0 && !reaped_) {
        kill(pid_, number);
    }
}

int ChildProcess::Wait(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            reaped_ = true;
            // What the child wrote last is still in the pipe.
            while (ReadSome(std::chrono::steady_clock::now() + std::chrono::milliseconds(100))) {
            }
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return -1;
        }
        // Keep the pipe drained so that a talkative child cannot block on it.
        if (!ReadSome(std::min(deadline,
                               std::chrono::steady_clock::now() + std::chrono::milliseconds(20)))) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
}

std::string ChildProcess::BinDirectory() {
    const char* dir = std::getenv("KV_BIN_DIR");
    return dir != nullptr ? dir
                          : std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
}

int RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
               std::chrono::milliseconds timeout) {
    ChildProcess child(argv, environment);
    return child.Wait(timeout);
}

}  // namespace kv::test
