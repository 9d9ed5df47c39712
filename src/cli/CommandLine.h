#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kv::cli {

// The options before the command, as typed (texts still in the terminal's encoding).
struct GlobalOptions {
    std::optional<std::string> dataDir;
    bool raw = false;
    bool help = false;
    bool version = false;
    std::string user = "root";
    std::string password = "plumtree";
    std::string port = "4009";
    int timeoutSeconds = 60;
};

struct CommandLine {
    GlobalOptions options;
    // Empty when the line names no command.
    std::string command;
    std::vector<std::string> arguments;
};

// Splits the arguments after the program name into the global options, the command and
// the command's own arguments. "--opt value" and "--opt=value" both work. Throws
// UsageError for an unknown global option or a missing or malformed value. The port is
// taken as text here: its range is the connection settings' rule.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

}  // namespace kv::cli
