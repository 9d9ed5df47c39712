#include <csignal>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "agentd/Agent.h"
#include "agentd/AgentOptions.h"
#include "settings/BuildInfo.h"

namespace {

kv::agentd::Agent* gAgent = nullptr;
volatile std::sig_atomic_t gReload = 0;
volatile std::sig_atomic_t gTerminate = 0;

void StopOnSignal(int signal) {
    (signal == SIGHUP ? gReload : gTerminate) = 1;
    if (gAgent != nullptr) {
        gAgent->Stop();
    }
}

void InstallSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = StopOnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    kv::agentd::AgentOptions options;
    try {
        options = kv::agentd::ParseAgentOptions(args);
    } catch (const kv::agentd::OptionsError& error) {
        std::fprintf(stderr, "kestrelview-agent: %s\nTry 'kestrelview-agent --help'.\n",
                     error.what());
        return 2;
    }
    if (options.help) {
        std::fputs(kv::agentd::AgentUsage().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("kestrelview-agent %s\n", kv::settings::kVersion);
        return 0;
    }
    InstallSignalHandlers();
    try {
        auto agent = std::make_unique<kv::agentd::Agent>(options);
        while (true) {
            gAgent = agent.get();
            // A stop asked for during a reload, before this Agent could hear it.
            if (gTerminate != 0) {
                break;
            }
            std::printf("%s\n", agent->ListeningLine().c_str());
            std::fflush(stdout);
            agent->Run();
            gAgent = nullptr;
            if (gTerminate != 0 || gReload == 0) {
                break;
            }
            gReload = 0;
            // A configuration that cannot be read keeps the running one.
            try {
                options = kv::agentd::ParseAgentOptions(args);
            } catch (const kv::agentd::OptionsError& error) {
                std::fprintf(stderr, "kestrelview-agent: reload refused: %s\n", error.what());
                continue;
            }
            agent.reset();
            agent = std::make_unique<kv::agentd::Agent>(options);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kestrelview-agent: %s\n", error.what());
        return 1;
    }
    return 0;
}
