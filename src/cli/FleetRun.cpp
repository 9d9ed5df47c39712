#include "cli/FleetRun.h"

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <unistd.h>

#include "text/Cp932.h"

namespace kv::cli {

namespace {

constexpr int kMaxJobs = 256;
constexpr int kMaxConnectSeconds = 3600;
constexpr auto kProgressInterval = std::chrono::milliseconds(200);

std::atomic<bool> interrupted{false};

extern "C" void NoteInterrupt(int) {
    interrupted = true;
}

// SIGINT sets the flag while the object lives; the previous handling comes back after.
class InterruptFlag {
public:
    InterruptFlag() {
        interrupted = false;
        struct sigaction action {};
        action.sa_handler = NoteInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &previous_);
    }
    ~InterruptFlag() { sigaction(SIGINT, &previous_, nullptr); }
    InterruptFlag(const InterruptFlag&) = delete;
    InterruptFlag& operator=(const InterruptFlag&) = delete;

private:
    struct sigaction previous_ {};
};

const char* StatusWord(FleetResult::Status status) {
    switch (status) {
        case FleetResult::Status::Done:
            return "done";
        case FleetResult::Status::Failed:
            return "failed";
        case FleetResult::Status::Skipped:
            return "skipped";
        case FleetResult::Status::NotStarted:
            break;
    }
    return "not started";
}

std::string JsonString(std::string_view utf8) {
    std::string text = "\"";
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            text += '\\';
            text += c;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            text += escaped;
        } else {
            text += c;
        }
    }
    return text + "\"";
}

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    return text;
}

}  // namespace

FleetOptions FleetOptions::From(const CommandArguments& arguments) {
    FleetOptions options;
    options.jobs = arguments.Number("--jobs", 1, kMaxJobs, options.jobs);
    options.connectTimeout =
        std::chrono::seconds(arguments.Number("--connect-timeout", 1, kMaxConnectSeconds,
                                              static_cast<int>(options.connectTimeout.count())));
    options.json = arguments.Has("--json");
    options.dryRun = arguments.Has("--dry-run");
    options.yes = arguments.Has("--yes");
    return options;
}

std::vector<CommandOption> FleetOptions::Syntax(bool confirms) {
    std::vector<CommandOption> syntax{
        {"--jobs", true}, {"--connect-timeout", true}, {"--json", false}};
    if (confirms) {
        syntax.push_back({"--yes", false});
    }
    return syntax;
}

std::vector<FleetResult> RunFleet(CliContext& context, const FleetOptions& options,
                                  const std::vector<FleetTarget>& targets, const FleetJob& job,
                                  OnInterrupt onInterrupt) {
    std::vector<FleetResult> results(targets.size());
    const InterruptFlag interruptFlag;
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t next = 0;
    std::size_t finished = 0;
    std::size_t failed = 0;
    std::size_t running = 0;
    std::vector<AgentSession*> sessions;

    const auto work = [&] {
        AgentSession session(context.connection, context.timeout, options.connectTimeout);
        {
            const std::lock_guard lock(mutex);
            sessions.push_back(&session);
        }
        for (;;) {
            std::size_t index = 0;
            {
                const std::lock_guard lock(mutex);
                if (next == targets.size() || interrupted) {
                    break;
                }
                index = next++;
                ++running;
            }
            const auto start = std::chrono::steady_clock::now();
            FleetResult result;
            try {
                result = job(session, targets[index]);
            } catch (const std::exception& error) {
                result.status = FleetResult::Status::Failed;
                result.result = "failed";
                result.reason = error.what();
            }
            result.seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            {
                const std::lock_guard lock(mutex);
                results[index] = std::move(result);
                --running;
                ++finished;
                failed += results[index].status == FleetResult::Status::Failed ? 1 : 0;
            }
            changed.notify_all();
        }
        const std::lock_guard lock(mutex);
        std::erase(sessions, &session);
        changed.notify_all();
    };

    const std::size_t workerCount =
        std::min<std::size_t>(static_cast<std::size_t>(options.jobs), targets.size());
    std::vector<std::thread> workers;
    workers.reserve(workerCount);
    for (std::size_t i = 0; i < workerCount; ++i) {
        workers.emplace_back(work);
    }

    // Progress on a terminal only: a script reading standard error gets the report alone.
    const bool progress = isatty(STDERR_FILENO) == 1;
    {
        std::unique_lock lock(mutex);
        for (;;) {
            const bool stopped = interrupted && running == 0;
            if (finished == targets.size() || stopped) {
                break;
            }
            if (progress) {
                std::cerr << "\r" << finished << "/" << targets.size() << " done, " << failed
                          << " failed" << (interrupted ? ", stopping" : "") << "\x1b[K"
                          << std::flush;
            }
            if (interrupted && onInterrupt == OnInterrupt::AbortRunning) {
                // Again at every pass: an abort between two requests of a job is not kept.
                for (AgentSession* session : sessions) {
                    session->Abort();
                }
            }
            changed.wait_for(lock, kProgressInterval);
        }
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    if (progress) {
        std::cerr << "\r\x1b[K" << std::flush;
    }
    if (interrupted) {
        context.terminal.Note("interrupted: no further request was started");
    }
    return results;
}

int ReportFleet(CliContext& context, const FleetOptions& options,
                const std::vector<FleetTarget>& targets, const std::vector<FleetResult>& results) {
    std::size_t counts[4] = {0, 0, 0, 0};
    bool differs = false;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const FleetResult& result = results[i];
        ++counts[static_cast<int>(result.status)];
        differs = differs || result.result == "differs";
        const std::string word = result.result.empty() ? StatusWord(result.status) : result.result;
        if (options.json) {
            std::string line = "{\"address\":" + JsonString(text::Cp932ToUtf8(targets[i].address)) +
                               ",\"name\":" + JsonString(text::Cp932ToUtf8(targets[i].name)) +
                               ",\"status\":\"" + StatusWord(result.status) +
                               "\",\"result\":" + JsonString(word) +
                               ",\"seconds\":" + Seconds(result.seconds);
            if (!result.reason.empty()) {
                line += ",\"reason\":" + JsonString(text::Cp932ToUtf8(result.reason));
            }
            context.terminal.Write(line + "}\n");
        } else {
            std::string line = targets[i].address + "\t" + targets[i].name + "\t" + word + "\t" +
                               Seconds(result.seconds) + "s";
            if (!result.reason.empty()) {
                line += "\t" + result.reason;
            }
            context.terminal.Print(line + "\n");
        }
    }
    const std::size_t done = counts[0];
    const std::size_t failed = counts[1];
    const std::size_t skipped = counts[2];
    const std::size_t notStarted = counts[3];
    if (options.json) {
        context.terminal.Write("{\"done\":" + std::to_string(done) + ",\"failed\":" +
                               std::to_string(failed) + ",\"skipped\":" + std::to_string(skipped) +
                               ",\"not_started\":" + std::to_string(notStarted) + "}\n");
    } else {
        std::string summary = std::to_string(done) + " done, " + std::to_string(failed) + " failed";
        if (skipped > 0) {
            summary += ", " + std::to_string(skipped) + " skipped";
        }
        if (notStarted > 0) {
            summary += ", " + std::to_string(notStarted) + " not started";
        }
        context.terminal.Write(summary + "\n");
    }
    return failed == 0 && notStarted == 0 && !differs ? 0 : 1;
}

Confirmation ConfirmFleet(CliContext& context, const FleetOptions& options,
                          const std::string& plan) {
    if (options.yes) {
        return Confirmation::Go;
    }
    if (isatty(STDIN_FILENO) != 1) {
        context.terminal.Note(
            "kestrelviewctl: this changes the Agents' settings; without a terminal to ask on, "
            "pass --yes");
        return Confirmation::NoTerminal;
    }
    context.terminal.Message(plan);
    std::cerr << "Proceed? [y/N] " << std::flush;
    std::string answer;
    std::getline(context.in, answer);
    return answer == "y" || answer == "Y" || answer == "yes" ? Confirmation::Go
                                                             : Confirmation::Declined;
}

}  // namespace kv::cli
