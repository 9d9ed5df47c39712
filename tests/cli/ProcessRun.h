#pragma once

// A program run as a child process to its end, for black-box tests of the command line.
// Header-only, so that the command-line suite and the network suite share it.

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kv::test {

struct ProcessResult {
    // The exit status; -1 when the program was killed (it ran out of time).
    int status = -1;
    std::string out;
    std::string err;
};

struct ProcessLaunch {
    std::string program;
    std::vector<std::string> arguments;
    std::string input;
    // Changes to this process's environment: a value sets the variable, nullopt removes it.
    std::map<std::string, std::optional<std::string>> environment;
    std::string workingDirectory;  // empty: this process's
    std::chrono::seconds limit{60};
};

// The directory of the programs under test: $KV_BIN_DIR, else this test's own directory.
inline std::string BinDir() {
    if (const char* dir = std::getenv("KV_BIN_DIR")) {
        return dir;
    }
    std::string self(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", self.data(), self.size());
    self.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return self.substr(0, self.rfind('/'));
}

inline std::vector<std::string> ChildEnvironment(
    const std::map<std::string, std::optional<std::string>>& changes) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        if (!changes.contains(text.substr(0, text.find('=')))) {
            result.push_back(text);
        }
    }
    for (const auto& [name, value] : changes) {
        if (value) {
            result.push_back(name + "=" + *value);
        }
    }
    return result;
}

// Runs the program with `input` on its standard input and collects both outputs. A program
// that outlives the limit is killed.
inline ProcessResult RunProcess(const ProcessLaunch& launch) {
    // A child that exits without reading its input must not take the test down with it.
    std::signal(SIGPIPE, SIG_IGN);
    int in[2];
    int out[2];
    int err[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 ||
        ::pipe2(err, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    // Built before the fork: the child only execs.
    std::vector<std::string> argumentTexts{launch.program};
    argumentTexts.insert(argumentTexts.end(), launch.arguments.begin(), launch.arguments.end());
    std::vector<char*> argv;
    for (std::string& text : argumentTexts) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> environmentTexts = ChildEnvironment(launch.environment);
    std::vector<char*> envp;
    for (std::string& text : environmentTexts) {
        envp.push_back(text.data());
    }
    envp.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        if (!launch.workingDirectory.empty() && ::chdir(launch.workingDirectory.c_str()) != 0) {
            ::_exit(126);
        }
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    ::fcntl(in[1], F_SETFL, O_NONBLOCK);

    ProcessResult result;
    std::size_t written = 0;
    int inFd = in[1];
    if (launch.input.empty()) {
        ::close(inFd);
        inFd = -1;
    }
    int outFd = out[0];
    int errFd = err[0];
    const auto deadline = std::chrono::steady_clock::now() + launch.limit;
    bool timedOut = false;
    char buffer[65536];
    while (outFd >= 0 || errFd >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd fds[3] = {{inFd, POLLOUT, 0}, {outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
        if (::poll(fds, 3, static_cast<int>(left.count())) < 0 && errno != EINTR) {
            break;
        }
        if (inFd >= 0 && fds[0].revents != 0) {
            const ssize_t n =
                ::write(inFd, launch.input.data() + written, launch.input.size() - written);
            if (n > 0) {
                written += static_cast<std::size_t>(n);
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                written = launch.input.size();  // the child stopped reading
            }
            if (written == launch.input.size()) {
                ::close(inFd);
                inFd = -1;
            }
        }
        for (const auto& [index, target, fd] :
             {std::tuple{1, &result.out, &outFd}, std::tuple{2, &result.err, &errFd}}) {
            if (*fd < 0 || fds[index].revents == 0) {
                continue;
            }
            const ssize_t n = ::read(*fd, buffer, sizeof buffer);
            if (n > 0) {
                target->append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
                ::close(*fd);
                *fd = -1;
            }
        }
    }
    for (const int fd : {inFd, outFd, errFd}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    // A child that closed its outputs may still be running: it gets the rest of the time.
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR)) {
            break;
        }
        if (timedOut || std::chrono::steady_clock::now() >= deadline) {
            timedOut = true;
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
        ::usleep(2000);
    }
    result.status = !timedOut && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// kestrelviewctl with the given arguments and standard input, KESTRELVIEW_DATA_DIR removed
// unless `environment` sets it.
inline ProcessResult RunCtl(std::vector<std::string> arguments, std::string input = {},
                            std::map<std::string, std::optional<std::string>> environment = {},
                            std::string program = BinDir() + "/kestrelviewctl") {
    environment.emplace("KESTRELVIEW_DATA_DIR", std::nullopt);
    return RunProcess({std::move(program),
                       std::move(arguments),
                       std::move(input),
                       std::move(environment),
                       {},
                       std::chrono::seconds(60)});
}

}  // namespace kv::test
