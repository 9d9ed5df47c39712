#pragma once

#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace kv::cli {

// What a run of kestrelviewctl gets from its process.
struct CliEnvironment {
    std::vector<std::string> arguments;          // after the program name
    std::optional<std::string> dataDirVariable;  // KESTRELVIEW_DATA_DIR
    std::string executablePath;
};

// Runs one command line; returns the exit status: 0 success, 1 failure (its message on
// `err`), 2 usage error.
int RunCli(const CliEnvironment& environment, std::istream& in, std::ostream& out,
           std::ostream& err);

}  // namespace kv::cli
