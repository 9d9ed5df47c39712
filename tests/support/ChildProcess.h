#pragma once

#include <chrono>
#include <string>
#include <vector>

#include <sys/types.h>

namespace kv::test {

// A program run by a test, its standard output and error on one pipe. The destructor kills
// it (by its own pid) and reaps it, unless it has already been waited for.
class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& argv,
                          const std::vector<std::string>& environment = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t Pid() const { return pid_; }
    // The first line written, or what came before the timeout or the end of the output.
    std::string FirstLine(std::chrono::milliseconds timeout);
    // The exit status (128 + signal for a killed program, -1 when still running after the
    // timeout).
    int Wait(std::chrono::milliseconds timeout);
    // Everything read so far.
    const std::string& Output() const { return output_; }
    // Everything written until the program closes its output (at most `timeout`).
    const std::string& AllOutput(std::chrono::milliseconds timeout);
    // Reads until the output holds `text` (true) or the time is up (false).
    bool WaitForOutput(const std::string& text, std::chrono::milliseconds timeout);
    void Signal(int number) const;

    // The directory of the programs built with the tests (KV_BIN_DIR, else this program's).
    static std::string BinDirectory();

private:
    bool ReadSome(std::chrono::steady_clock::time_point deadline);

    pid_t pid_ = -1;
    int out_ = -1;
    bool reaped_ = false;
    std::string output_;
};

// Runs a program to its end (at most `timeout`) and returns its exit status.
int RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
               std::chrono::milliseconds timeout);

}  // namespace kv::test
