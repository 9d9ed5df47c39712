#include "agentd/Agent.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <stdexcept>
#include <utility>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <unistd.h>

#include "text/Cp932.h"

namespace kv::agentd {
namespace {

namespace fs = std::filesystem;

std::string DefaultStateDir() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') {
        return std::string(state) + "/kestrelview-agent";
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        return std::string(home) + "/.local/state/kestrelview-agent";
    }
    throw std::runtime_error("no state directory: give --state-dir");
}

std::string MadeDirectory(const std::string& path, const char* what) {
    std::error_code error;
    fs::create_directories(path, error);
    const fs::path canonical = fs::canonical(path, error);
    if (error || !fs::is_directory(canonical)) {
        throw std::runtime_error(std::string("cannot use ") + what + " " + path +
                                 (error ? ": " + error.message() : ": not a directory"));
    }
    return canonical.string();
}

std::string ExistingDirectory(const std::string& path, const char* what) {
    std::error_code error;
    const fs::path canonical = fs::canonical(path, error);
    if (error || !fs::is_directory(canonical)) {
        throw std::runtime_error(std::string("cannot use ") + what + " " + path +
                                 (error ? ": " + error.message() : ": not a directory"));
    }
    return canonical.string();
}

std::string ShiftJis(const std::string& utf8, const char* what) {
    auto sjis = text::Utf8ToCp932(utf8);
    if (!sjis) {
        throw std::runtime_error(std::string(what) + " cannot be written in Shift_JIS: " + utf8);
    }
    return *sjis;
}

std::string HostName() {
    std::array<char, 256> name{};
    if (gethostname(name.data(), name.size() - 1) != 0) {
        return "localhost";
    }
    return name.data();
}

// The remote path of the log directory: where GetFileView.cgi finds it from the Agent's
// "/". A log directory outside the served one keeps its absolute path, as on a real Agent.
std::string RemoteLogDir(const std::string& root, const std::string& logDir) {
    if (root == "/") {
        return logDir;
    }
    if (logDir == root) {
        return "/";
    }
    if (logDir.starts_with(root + "/")) {
        return logDir.substr(root.size());
    }
    return logDir;
}

// The address mails name: the configured one, the listening one, else the first address
// of an interface that is up and not the loopback.
std::string MailAddressOfHost(const AgentOptions& options) {
    if (!options.ipAddress.empty()) {
        return options.ipAddress;
    }
    if (options.listen != "0.0.0.0") {
        return options.listen;
    }
    std::string found = "127.0.0.1";
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return found;
    }
    for (const ifaddrs* item = list; item != nullptr; item = item->ifa_next) {
        if (item->ifa_addr == nullptr || item->ifa_addr->sa_family != AF_INET ||
            (item->ifa_flags & IFF_UP) == 0 || (item->ifa_flags & IFF_LOOPBACK) != 0) {
            continue;
        }
        std::array<char, INET_ADDRSTRLEN> text{};
        const auto* address = reinterpret_cast<const sockaddr_in*>(item->ifa_addr);
        inet_ntop(AF_INET, &address->sin_addr, text.data(), text.size());
        found = text.data();
        break;
    }
    freeifaddrs(list);
    return found;
}

agentd::ActionSettings ActionSettingsOf(const AgentOptions& options, const std::string& stateDir) {
    agentd::ActionSettings settings;
    settings.spoolDirectory = stateDir + "/mail";
    settings.ipAddress = MailAddressOfHost(options);
    settings.retry.firstDelay = std::chrono::seconds(options.mailRetrySeconds);
    settings.commands.timeLimit = std::chrono::seconds(options.commandSeconds);
    settings.commands.concurrent = options.maxCommands;
    return settings;
}

std::string StateDirectory(const AgentOptions& options) {
    return MadeDirectory(options.stateDir.empty() ? DefaultStateDir() : options.stateDir,
                         "state directory");
}

ServerLimits Limited(ServerLimits limits, const AgentOptions& options) {
    limits.maxConnections = std::min<std::size_t>(limits.maxConnections, options.maxConnections);
    return limits;
}

AgentSetup Prepare(const AgentOptions& options, DailyLog::Clock clock) {
    AgentSetup setup;
    setup.root = ExistingDirectory(options.root, "root directory");
    if (!options.treeFile.empty()) {
        std::error_code error;
        setup.treeFile = fs::absolute(options.treeFile, error).string();
        if (error || !fs::is_regular_file(setup.treeFile)) {
            throw std::runtime_error("cannot use tree file " + options.treeFile);
        }
    }
    setup.tree.maxEntries = options.treeMaxEntries;
    setup.tree.maxDepth = options.treeMaxDepth;
    for (const std::string& excluded : options.excludes) {
        // An excluded directory that does not exist has nothing to hide.
        std::error_code error;
        const fs::path canonical = fs::canonical(excluded, error);
        if (!error) {
            setup.tree.excludes.push_back(canonical.string());
        }
    }
    setup.serverName =
        ShiftJis(options.name.empty() ? HostName() : options.name, "the server name");
    setup.user = options.user;
    setup.password = options.password;
    const std::string stateDir = StateDirectory(options);
    setup.settingFile = stateDir + "/WatchSetting.txt";
    setup.watchStateFile = stateDir + "/WatchState.txt";
    setup.logDir =
        MadeDirectory(options.logDir.empty() ? stateDir + "/log" : options.logDir, "log directory");
    setup.logRemoteDir =
        ShiftJis(RemoteLogDir(setup.root, setup.logDir), "the log directory's path");
    setup.clock = clock ? std::move(clock) : [] { return std::time(nullptr); };
    return setup;
}

}  // namespace

Agent::Agent(const AgentOptions& options, DailyLog::Clock clock, ServerLimits limits,
             WatchTiming timing)
    : Agent(Prepare(options, std::move(clock)), options, limits, timing) {}

Agent::Agent(AgentSetup setup, const AgentOptions& options, ServerLimits limits, WatchTiming timing)
    : address_(options.listen),
      watchStateFile_(setup.watchStateFile),
      handler_(std::move(setup)),
      loop_(
          Limited(limits, options),
          ServerCallbacks{
              [this](const HttpRequest& request, const std::string& peer) {
                  return handler_.Serve(request, peer);
              },
              [this](int status, const std::string& peer) { return handler_.Reject(status, peer); },
              [this](std::string_view datagram) { return handler_.Datagram(datagram); },
          }),
      actions_(ActionSettingsOf(options, StateDirectory(options)), handler_.Log()) {
    handler_.Log().KeepDays(static_cast<int>(options.logDays));
    loop_.Open(options.listen, options.port);
    if (options.demo) {
        handler_.Log().SeedDemoDays();
    }
    handler_.Log().Append(text::Sjis("Kestrelviewエージェントを起動しました。 ") + ListeningLine());
    engine_ = std::make_unique<WatchEngine>(watchStateFile_, timing, actions_, handler_.Log());
    ApplySetting();
    handler_.OnSettingStored([this] { ApplySetting(); });
    loop_.Watch(engine_->EventFd(), [this] {
        engine_->OnEvents();
        loop_.TickSoon();
    });
    loop_.SetTick([this] { return engine_->Tick(); });
}

void Agent::ApplySetting() {
    engine_->Apply(handler_.Setting().Rows(), handler_.Setting().Mail(), handler_.ServerName());
}

void Agent::Run() {
    loop_.Run();
    engine_->Save();
    handler_.Log().Append(text::Sjis("Kestrelviewエージェントを停止しました。"));
}

std::string Agent::ListeningLine() const {
    return "listening on " + address_ + ":" + std::to_string(loop_.Port());
}

}  // namespace kv::agentd
