#include "cli/ServerListCommands.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>

#include <poll.h>

#include "agent/AddServerCheck.h"
#include "agent/AgentRequests.h"
#include "agent/Discovery.h"
#include "cli/DataFiles.h"
#include "settings/DefaultSettingStore.h"
#include "settings/WatchSetting.h"
#include "store/FileLock.h"

namespace kv::cli {

namespace {

constexpr int kDefaultWaitSeconds = 3;
constexpr int kMaxWaitSeconds = 600;

void PrintEntry(Terminal& terminal, std::size_t index, const store::TServerTree& entry) {
    terminal.Print(std::to_string(index) + "\t" + entry.IPAddress + "\t" + entry.ServerName + "\n");
}

bool DigitsAndDots(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return c == '.' || (c >= '0' && c <= '9'); });
}

}  // namespace

int RunServers(CliContext& context, const CommandArguments&) {
    const store::ServerList servers = LoadServerList(context);
    for (std::size_t i = 0; i < servers.Count(); ++i) {
        PrintEntry(context.terminal, i, servers.Entry(i));
    }
    return 0;
}

int RunRemove(CliContext& context, const CommandArguments& arguments) {
    const std::string address = context.terminal.FromArgument(arguments.Positional(0), "ADDRESS");
    const store::FileLock lock(context.DataFile(settings::kServerListFile));
    store::ServerList servers = LoadServerList(context);
    const std::optional<std::size_t> index = servers.IndexOf(address);
    if (!index) {
        context.terminal.Note("no server with the address " + arguments.Positional(0) +
                              " in Server.csv");
        return 1;
    }
    if (*index == 0) {
        context.terminal.Note("the default setting (entry 0) cannot be removed");
        return 1;
    }
    servers.Delete(*index);
    SaveServerList(context, servers);
    return 0;
}

int RunAdd(CliContext& context, const CommandArguments& arguments) {
    const std::string& typed = arguments.Positional(0);
    // Only what the four masked fields of the dialog could hold: digits, taken as typed.
    const std::optional<std::string> address =
        DigitsAndDots(typed) ? agent::AddServerCheck::ParseAddress(typed) : std::nullopt;
    if (!address) {
        context.terminal.Message(agent::AddServerCheck::InvalidAddressMessage());
        return 1;
    }
    const store::FileLock lock(context.DataFile(settings::kServerListFile));
    store::ServerList servers = LoadServerList(context);
    agent::AgentRequests& requests = context.Session().Requests();
    agent::AddServerCheck check(
        agent::AddServerCheck::Fetchers{[&requests](std::string_view at, std::string& target) {
                                            return requests.FetchTree(at, target);
                                        },
                                        [&requests](std::string_view at, std::string& target) {
                                            return requests.FetchWatchSetting(at, target);
                                        },
                                        [](std::string_view setting) {
                                            return settings::ParseSettingText(setting).ServerName;
                                        }},
        servers);
    const agent::AddServerCheck::Result result = check.TryAddress(*address);
    if (result.outcome != agent::AddServerCheck::Outcome::Added || !result.Index) {
        context.terminal.Message(result.Message);
        return 1;
    }
    // The window names the entry once it shows the setting; a list written at once gets
    // the name now, from the same mail line.
    store::TServerTree& entry = servers.Entry(*result.Index);
    entry.ServerName = settings::ParseSettingText(entry.SettingText).ServerName;
    SaveServerList(context, servers);
    PrintEntry(context.terminal, *result.Index, entry);
    return 0;
}

int RunDiscover(CliContext& context, const CommandArguments& arguments) {
    const int waitSeconds = arguments.Number("--wait", 0, kMaxWaitSeconds, kDefaultWaitSeconds);
    const std::string destination =
        arguments.Value("--to").value_or(std::string(agent::TUdpSocket::kBroadcastAddress));
    std::optional<store::FileLock> lock;
    if (arguments.Has("--save")) {
        lock.emplace(context.DataFile(settings::kServerListFile));
    }
    store::ServerList servers = LoadServerList(context);
    agent::Discovery discovery;
    discovery.Start(context.Session().Port(), destination);

    bool found = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(waitSeconds);
    for (auto now = std::chrono::steady_clock::now(); now < deadline;
         now = std::chrono::steady_clock::now()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
        pollfd descriptor{discovery.Handle(), POLLIN, 0};
        if (::poll(&descriptor, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        for (const std::size_t index : discovery.HandleAvailable(servers)) {
            const store::TServerTree& entry = servers.Entry(index);
            context.terminal.Print(entry.IPAddress + "\t" + entry.ServerName + "\n");
            found = true;
        }
    }
    if (arguments.Has("--save") && found) {
        SaveServerList(context, servers);
    }
    return 0;
}

}  // namespace kv::cli
