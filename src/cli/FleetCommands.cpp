#include "cli/FleetCommands.h"

#include <algorithm>
#include <filesystem>
#include <map>

#include "cli/DataFiles.h"
#include "cli/FleetRun.h"
#include "cli/SettingDiff.h"
#include "settings/WatchSetting.h"
#include "store/AtomicFile.h"

namespace kv::cli {

namespace {

constexpr int kUsage = 2;

using Status = FleetResult::Status;

// An address that can name a file of its own inside a directory: four dot-separated groups
// of digits. Anything else might climb out of the directory ("..", "/").
bool FileSafeAddress(std::string_view address) {
    std::size_t groups = 0;
    while (true) {
        const std::size_t dot = address.find('.');
        const std::string_view group = address.substr(0, dot);
        if (group.empty() ||
            !std::all_of(group.begin(), group.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            return false;
        }
        ++groups;
        if (dot == std::string_view::npos) {
            return groups == 4;
        }
        address.remove_prefix(dot + 1);
    }
}

FleetResult Done(std::string result) {
    return {Status::Done, std::move(result), {}, 0, {}};
}

FleetResult Failed(std::string reason) {
    return {Status::Failed, "failed", std::move(reason), 0, {}};
}

FleetResult Skipped(std::string reason) {
    return {Status::Skipped, "skipped", std::move(reason), 0, {}};
}

// The listed servers (entry 0, the default setting, is no Agent), in Server.csv order.
std::vector<FleetTarget> ListedServers(const store::ServerList& servers) {
    std::vector<FleetTarget> targets;
    for (std::size_t i = 1; i < servers.Count(); ++i) {
        targets.push_back({servers.Entry(i).IPAddress, servers.Entry(i).ServerName});
    }
    return targets;
}

// The addresses named on the command line, with their names from Server.csv; every listed
// server when none is named.
std::vector<FleetTarget> NamedServers(CliContext& context, const CommandArguments& arguments,
                                      std::size_t first) {
    const store::ServerList servers = LoadServerList(context);
    if (arguments.Count() <= first) {
        return ListedServers(servers);
    }
    std::vector<FleetTarget> targets;
    for (std::size_t i = first; i < arguments.Count(); ++i) {
        const std::string address =
            context.terminal.FromArgument(arguments.Positional(i), "ADDRESS");
        const std::optional<std::size_t> index = servers.IndexOf(address);
        targets.push_back({address, index ? servers.Entry(*index).ServerName : std::string()});
    }
    return targets;
}

std::string DirectoryArgument(const CommandArguments& arguments) {
    const std::string& dir = arguments.Positional(0);
    std::error_code error;
    if (!std::filesystem::is_directory(dir, error)) {
        throw std::runtime_error(dir + " is not a directory");
    }
    return dir;
}

std::string SettingFile(const std::string& dir, const std::string& address) {
    return dir + "/" + address + ".txt";
}

// The body's lines end in CR LF and the request layer ends every line it sends so: one
// "line" holding the body without its last CR LF goes out byte for byte as the body.
FleetResult Upload(AgentSession& session, const FleetTarget& target, std::string_view text) {
    const std::string body = settings::BuildUploadBody(text, target.name);
    if (body.empty()) {
        return Failed("no mail line: there is no setting to upload");
    }
    if (!session.Requests().SendWatchSetting(target.address, {body.substr(0, body.size() - 2)})) {
        return Failed(session.FailureReason());
    }
    return Done("uploaded");
}

// The server's setting against the file: "same", or "differs" with the differences as
// output, headed by the server.
FleetResult Compare(AgentSession& session, const FleetTarget& target, const std::string& file) {
    std::string wanted;
    if (!store::ReadWholeFile(file, wanted)) {
        return Skipped("no " + file);
    }
    std::string current;
    if (!session.Requests().FetchWatchSetting(target.address, current)) {
        return Failed(session.FailureReason());
    }
    const std::vector<std::string> differences = SettingDifferences(current, wanted);
    if (differences.empty()) {
        return Done("same");
    }
    FleetResult result = Done("differs");
    result.output = "--- " + target.address + " " + target.name + "\n+++ " + file + "\n";
    for (const std::string& line : differences) {
        result.output += "  " + line + "\n";
    }
    return result;
}

int RunAndReport(CliContext& context, const FleetOptions& options,
                 const std::vector<FleetTarget>& targets, const FleetJob& job,
                 OnInterrupt onInterrupt = OnInterrupt::AbortRunning) {
    const std::vector<FleetResult> results = RunFleet(context, options, targets, job, onInterrupt);
    for (const FleetResult& result : results) {
        if (!options.json) {
            context.terminal.Print(result.output);
        }
    }
    return ReportFleet(context, options, targets, results);
}

std::string PlanOf(const std::string& what, const std::vector<FleetTarget>& targets) {
    std::string plan = what + " (" + std::to_string(targets.size()) + " servers):";
    for (const FleetTarget& target : targets) {
        plan += "\n  " + target.address + "\t" + target.name;
    }
    return plan;
}

// 0 to go on, else the exit status: 1 when the user declined, 2 without a terminal to ask.
int Refused(CliContext& context, const FleetOptions& options, const std::string& plan) {
    switch (ConfirmFleet(context, options, plan)) {
        case Confirmation::Go:
            return 0;
        case Confirmation::Declined:
            context.terminal.Note("nothing was uploaded");
            return 1;
        case Confirmation::NoTerminal:
            break;
    }
    return kUsage;
}

}  // namespace

int RunFetchAll(CliContext& context, const CommandArguments& arguments) {
    const FleetOptions options = FleetOptions::From(arguments);
    const std::string dir = DirectoryArgument(arguments);
    return RunAndReport(context, options, ListedServers(LoadServerList(context)),
                        [&](AgentSession& session, const FleetTarget& target) {
                            if (!FileSafeAddress(target.address)) {
                                return Failed("not four dot-separated groups of digits");
                            }
                            std::string text;
                            if (!session.Requests().FetchWatchSetting(target.address, text)) {
                                return Failed(session.FailureReason());
                            }
                            store::WriteFileAtomically(SettingFile(dir, target.address), text);
                            return Done("fetched");
                        });
}

int RunDistribute(CliContext& context, const CommandArguments& arguments) {
    const FleetOptions options = FleetOptions::From(arguments);
    const std::vector<FleetTarget> targets = ListedServers(LoadServerList(context));
    const std::string text = LoadLocalDefault(context).SettingText;
    // Every listed server takes the default under its own name; the local files stay.
    if (const std::optional<std::string> unfit = UnfitForUpload(text)) {
        context.terminal.Note("the default setting cannot be uploaded: " + *unfit);
        return 1;
    }
    if (const int refused =
            Refused(context, options, PlanOf("upload the default setting to", targets))) {
        return refused;
    }
    return RunAndReport(
        context, options, targets,
        [&](AgentSession& session, const FleetTarget& target) {
            return Upload(session, target, text);
        },
        OnInterrupt::FinishRunning);
}

int RunPushAll(CliContext& context, const CommandArguments& arguments) {
    const FleetOptions options = FleetOptions::From(arguments);
    const std::string dir = DirectoryArgument(arguments);
    const std::vector<FleetTarget> targets = ListedServers(LoadServerList(context));
    if (options.dryRun) {
        return RunAndReport(context, options, targets,
                            [&](AgentSession& session, const FleetTarget& target) {
                                const std::string file = SettingFile(dir, target.address);
                                std::string text;
                                if (store::ReadWholeFile(file, text)) {
                                    if (const auto unfit = UnfitForUpload(text)) {
                                        return Failed(file + ": " + *unfit);
                                    }
                                }
                                return Compare(session, target, file);
                            });
    }
    // Every file is read and checked before anything is sent: one that would split or
    // shift a row stops the whole push.
    std::map<std::string, std::string> texts;
    std::vector<FleetTarget> pushed;
    bool unfit = false;
    for (const FleetTarget& target : targets) {
        const std::string file = SettingFile(dir, target.address);
        std::string text;
        if (!FileSafeAddress(target.address) || !store::ReadWholeFile(file, text)) {
            continue;
        }
        if (const std::optional<std::string> why = UnfitForUpload(text)) {
            context.terminal.Note(file + ": " + *why);
            unfit = true;
        }
        texts.emplace(target.address, std::move(text));
        pushed.push_back(target);
    }
    if (unfit) {
        context.terminal.Note("nothing was uploaded");
        return 1;
    }
    if (const int refused =
            Refused(context, options, PlanOf("upload the files of " + dir + " to", pushed))) {
        return refused;
    }
    return RunAndReport(
        context, options, targets,
        [&](AgentSession& session, const FleetTarget& target) {
            const auto text = texts.find(target.address);
            if (text == texts.end()) {
                return Skipped("no " + SettingFile(dir, target.address));
            }
            return Upload(session, target, text->second);
        },
        OnInterrupt::FinishRunning);
}

int RunDiff(CliContext& context, const CommandArguments& arguments) {
    const FleetOptions options = FleetOptions::From(arguments);
    const std::string dir = DirectoryArgument(arguments);
    return RunAndReport(context, options, NamedServers(context, arguments, 1),
                        [&](AgentSession& session, const FleetTarget& target) {
                            if (!FileSafeAddress(target.address)) {
                                return Failed("not four dot-separated groups of digits");
                            }
                            return Compare(session, target, SettingFile(dir, target.address));
                        });
}

int RunCheck(CliContext& context, const CommandArguments& arguments) {
    const FleetOptions options = FleetOptions::From(arguments);
    return RunAndReport(context, options, NamedServers(context, arguments, 0),
                        [&](AgentSession& session, const FleetTarget& target) {
                            std::string text;
                            if (!session.Requests().FetchWatchSetting(target.address, text)) {
                                return Failed(session.FailureReason());
                            }
                            return Done("ok");
                        });
}

}  // namespace kv::cli
