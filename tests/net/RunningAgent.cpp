#include "RunningAgent.h"

#include <filesystem>
#include <stdexcept>

namespace kv::test {

RunningAgent::RunningAgent(const std::string& name, const std::vector<std::string>& extra) {
    std::filesystem::create_directories(dir_.File("root/var/log"));
    dir_.Write("root/var/log/app.log", "line one\nline two\n");
    std::vector<std::string> argv = {ChildProcess::BinDirectory() + "/kestrelview-agent",
                                     "--listen",
                                     "127.0.0.1",
                                     "--port",
                                     "0",
                                     "--root",
                                     dir_.File("root"),
                                     "--state-dir",
                                     dir_.File("state"),
                                     "--name",
                                     name};
    argv.insert(argv.end(), extra.begin(), extra.end());
    process_ = std::make_unique<ChildProcess>(argv);
    const std::string line = process_->FirstLine(std::chrono::seconds(10));
    const std::string prefix = "listening on 127.0.0.1:";
    if (line.rfind(prefix, 0) != 0) {
        throw std::runtime_error("kestrelview-agent did not start: " + process_->Output());
    }
    port_ = static_cast<std::uint16_t>(std::stoul(line.substr(prefix.size())));
}

}  // namespace kv::test
