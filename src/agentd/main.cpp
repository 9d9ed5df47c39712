#include <csignal>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "agentd/Agent.h"
#include "agentd/AgentOptions.h"

namespace {

kv::agentd::Agent* gAgent = nullptr;

void StopOnSignal(int) {
    if (gAgent != nullptr) {
        gAgent->Stop();
    }
}

void InstallStopHandlers() {
    struct sigaction action {};
    action.sa_handler = StopOnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace

int main(int argc, char** argv) {
    kv::agentd::AgentOptions options;
    try {
        options = kv::agentd::ParseAgentOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const kv::agentd::OptionsError& error) {
        std::fprintf(stderr, "kestrelview-agent: %s\nTry 'kestrelview-agent --help'.\n",
                     error.what());
        return 2;
    }
    if (options.help) {
        std::fputs(kv::agentd::AgentUsage().c_str(), stdout);
        return 0;
    }
    try {
        kv::agentd::Agent agent(options);
        gAgent = &agent;
        InstallStopHandlers();
        std::printf("%s\n", agent.ListeningLine().c_str());
        std::fflush(stdout);
        agent.Run();
        gAgent = nullptr;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kestrelview-agent: %s\n", error.what());
        return 1;
    }
    return 0;
}
