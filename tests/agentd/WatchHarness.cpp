#include "WatchHarness.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <poll.h>

#include "text/JapaneseConversion.h"

namespace kv::test {

std::vector<std::string> RecordingSink::ResultLines() const {
    std::vector<std::string> lines;
    for (const auto& fired : fired_) {
        lines.push_back(fired.resultLine);
    }
    return lines;
}

WatchHarness::WatchHarness(agentd::WatchTiming timing)
    : timing_(timing), log_(dir_.File("state"), "/state", [] { return std::time(nullptr); }) {
    std::filesystem::create_directories(dir_.File("state"));
    engine_ = std::make_unique<agentd::WatchEngine>(dir_.File("state/WatchState.txt"), timing_,
                                                    sink_, log_);
}

WatchHarness::~WatchHarness() = default;

agentd::WatchTiming WatchHarness::Fast() {
    using std::chrono::milliseconds;
    return {milliseconds(200), milliseconds(50), milliseconds(600), milliseconds(20)};
}

std::string WatchHarness::Log() const {
    std::ifstream in(dir_.File("state/" + agentd::DailyLog::FileName(std::time(nullptr))),
                     std::ios::binary);
    return text::EucToSjis(std::string(std::istreambuf_iterator<char>(in), {}));
}

void WatchHarness::Watch(const std::vector<std::vector<std::string>>& rows) {
    rows_.clear();
    for (const auto& row : rows) {
        rows_.push_back({row.at(0), row.at(1), row.at(2), "", ""});
    }
    engine_->Apply(rows_, {"subject", "body", "smtp", "from"}, "server");
}

void WatchHarness::Append(const std::string& name, const std::string& bytes) const {
    std::ofstream out(dir_.File(name), std::ios::binary | std::ios::app);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
        throw std::runtime_error("cannot append to " + name);
    }
}

bool WatchHarness::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        engine_->OnEvents();
        const auto wait = engine_->Tick();
        if (done()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        pollfd entry{engine_->EventFd(), POLLIN, 0};
        poll(&entry, 1, static_cast<int>(std::min<long>(wait.count(), 20)));
    }
}

void WatchHarness::PumpFor(std::chrono::milliseconds time) {
    PumpUntil([] { return false; }, time);
}

void WatchHarness::Restart() {
    engine_.reset();
    engine_ = std::make_unique<agentd::WatchEngine>(dir_.File("state/WatchState.txt"), timing_,
                                                    sink_, log_);
    engine_->Apply(rows_, {"subject", "body", "smtp", "from"}, "server");
}

}  // namespace kv::test
