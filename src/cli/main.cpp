#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliRunner.h"
#include "settings/DataDirectory.h"

int main(int argc, char** argv) {
    // A reader that goes away (| head) ends the output, not the program with a signal.
    std::signal(SIGPIPE, SIG_IGN);
    std::ios::sync_with_stdio(false);

    kv::cli::CliEnvironment environment;
    environment.arguments.assign(argv + 1, argv + argc);
    if (const char* dataDir = std::getenv("KESTRELVIEW_DATA_DIR")) {
        environment.dataDirVariable = dataDir;
    }
    environment.executablePath = kv::settings::ExecutablePath();
    const int status = kv::cli::RunCli(environment, std::cin, std::cout, std::cerr);
    std::cout.flush();
    // A reader that went away is no failure of the command; a full disk is.
    if (!std::cout && errno != EPIPE) {
        return 1;
    }
    return status;
}
