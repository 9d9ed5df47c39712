#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "cli/AgentSession.h"
#include "cli/CliContext.h"
#include "cli/CommandArguments.h"

namespace kv::cli {

// The options that every fleet command takes after its name.
struct FleetOptions {
    int jobs = 32;
    std::chrono::seconds connectTimeout{5};
    bool json = false;
    bool dryRun = false;
    bool yes = false;

    static FleetOptions From(const CommandArguments& arguments);
    // The syntax entries of these options, to add to a command's own.
    static std::vector<CommandOption> Syntax(bool confirms);
};

// One server of a fleet command.
struct FleetTarget {
    std::string address;
    std::string name;  // Shift_JIS; empty for an address not in Server.csv
};

// What one server's job came to.
struct FleetResult {
    enum class Status { Done, Failed, Skipped, NotStarted };
    Status status = Status::NotStarted;
    std::string result;  // "fetched", "uploaded", "same", "differs", "ok", ...
    std::string reason;  // for failures and skips
    double seconds = 0;
    std::string output;  // Shift_JIS text printed before the report (a diff)
};

using FleetJob = std::function<FleetResult(AgentSession& session, const FleetTarget& target)>;

// What Ctrl+C does to the requests in flight: uploads finish, so that none is cut in half;
// fetches, which change nothing on the Agents, are abandoned at once.
enum class OnInterrupt { FinishRunning, AbortRunning };

// Runs `job` for every target, `options.jobs` at a time, each in flight on a session (and
// so a connection) of its own. Ctrl+C stops the starting of jobs, the running ones go as
// `onInterrupt` says, and the rest stay NotStarted. On a terminal a progress line goes to
// standard error meanwhile. Results are in the order of `targets`.
std::vector<FleetResult> RunFleet(CliContext& context, const FleetOptions& options,
                                  const std::vector<FleetTarget>& targets, const FleetJob& job,
                                  OnInterrupt onInterrupt);

// The outputs, one line per server and a summary (JSON lines with --json); the exit
// status: 0 when every server's job succeeded, 1 otherwise. `differs` results count as
// done but give 1.
int ReportFleet(CliContext& context, const FleetOptions& options,
                const std::vector<FleetTarget>& targets, const std::vector<FleetResult>& results);

enum class Confirmation { Go, Declined, NoTerminal };

// Asks on the terminal before a command changes the Agents, showing `plan`. Go with --yes;
// NoTerminal, with a note, when standard input is no terminal to ask on.
Confirmation ConfirmFleet(CliContext& context, const FleetOptions& options,
                          const std::string& plan);

}  // namespace kv::cli
