#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace kv::test {

// kestrelview-agent as a child process on 127.0.0.1 and a port of the system's choosing,
// with temporary root, state and log directories; stopped when the object goes.
class RunningAgent {
public:
    // `name` is the server name as given on the command line (UTF-8).
    explicit RunningAgent(const std::string& name, const std::vector<std::string>& extra = {});

    std::uint16_t Port() const { return port_; }
    std::string PortText() const { return std::to_string(port_); }
    const TempDir& Dir() const { return dir_; }

private:
    TempDir dir_;
    std::unique_ptr<ChildProcess> process_;
    std::uint16_t port_ = 0;
};

}  // namespace kv::test
