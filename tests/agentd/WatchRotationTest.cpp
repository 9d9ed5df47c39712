#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <iterator>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "WatchHarness.h"
#include "cli/ProcessRun.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string Numbered(int from, int to) {
    std::string lines;
    for (int i = from; i < to; ++i) {
        lines += "line " + std::to_string(i) + "\n";
    }
    return lines;
}

// The numbers of the fired lines of the rows with this count, in firing order.
std::vector<int> FiredNumbers(const test::RecordingSink& sink, const std::string& count = "1") {
    std::vector<int> numbers;
    for (const auto& fired : sink.Fired()) {
        if (fired.row.SearchCount == count) {
            numbers.push_back(std::stoi(fired.resultLine.substr(5)));
        }
    }
    return numbers;
}

// Each of 0 .. total-1 exactly once, in any order.
void ExpectEachOnce(std::vector<int> numbers, int total) {
    std::sort(numbers.begin(), numbers.end());
    std::vector<int> expected(static_cast<std::size_t>(total));
    for (int i = 0; i < total; ++i) {
        expected[static_cast<std::size_t>(i)] = i;
    }
    std::vector<int> missing;
    std::vector<int> doubled;
    std::set_difference(expected.begin(), expected.end(), numbers.begin(), numbers.end(),
                        std::back_inserter(missing));
    std::set_difference(numbers.begin(), numbers.end(), expected.begin(), expected.end(),
                        std::back_inserter(doubled));
    EXPECT_TRUE(missing.empty() && doubled.empty())
        << missing.size() << " lost, first " << (missing.empty() ? -1 : missing[0]) << "; "
        << doubled.size() << " counted twice, first " << (doubled.empty() ? -1 : doubled[0]);
}

class LogrotateWhileWriting : public testing::TestWithParam<const char*> {};

// A writer appends numbered lines, opening the path for every line as simple loggers do,
// while logrotate rotates the file again and again: every line is counted exactly once.
// Under "create" the writer leaves making the file to logrotate, as a logger rotated that
// way must: a writer that made it between the rename and logrotate's own create would
// make logrotate fail and set the file aside under another name.
TEST_P(LogrotateWhileWriting, LosesNothingAndCountsNothingTwice) {
    const std::string mode = GetParam();
    test::WatchHarness harness;
    const std::string file = harness.Dir().File("app.log");
    harness.Append("app.log", "before the watch\n");
    harness.Dir().Write("rotate.conf", "\"" + file + "\" {\n  rotate 50\n  " + mode +
                                           "\n  missingok\n  nocompress\n}\n");
    harness.Watch({{file, "line", "1"}});

    constexpr int kRotations = 8;
    constexpr int kMaxLines = 200000;
    std::mutex gate;  // copytruncate loses what is written between its copy and its truncation
    std::atomic<bool> stop = false;
    std::atomic<int> written = 0;
    const int openFlags = O_CLOEXEC | (mode == "create" ? 0 : O_CREAT);
    // The engine runs on its own thread, as on the Agent's loop, while logrotate runs.
    std::thread loop([&] {
        harness.PumpUntil(
            [&] { return stop && harness.Sink().Fired().size() >= std::size_t(written.load()); },
            std::chrono::seconds(60));
        harness.PumpFor(300ms);
    });
    std::thread writer([&] {
        for (int i = 0; !stop && i < kMaxLines; ++i) {
            std::lock_guard hold(gate);
            int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | openFlags, 0644);
            for (int retry = 0; fd < 0 && errno == ENOENT && retry < 10000; ++retry) {
                std::this_thread::sleep_for(100us);
                fd = ::open(file.c_str(), O_WRONLY | O_APPEND | openFlags, 0644);
            }
            const std::string line = Numbered(i, i + 1);
            const bool whole = ::write(fd, line.data(), line.size()) == ssize_t(line.size());
            ::close(fd);
            if (!whole) {
                break;
            }
            written = i + 1;
            if (i % 10 == 0) {
                std::this_thread::sleep_for(1ms);
            }
        }
    });
    for (int rotation = 0; rotation < kRotations; ++rotation) {
        std::this_thread::sleep_for(40ms);
        std::unique_lock hold(gate, std::defer_lock);
        if (mode == "copytruncate") {
            hold.lock();
        }
        const auto result = test::RunProcess(
            {"/usr/sbin/logrotate",
             {"-f", "-s", harness.Dir().File("rotate.state"), harness.Dir().File("rotate.conf")},
             {},
             {},
             {},
             std::chrono::seconds(30)});
        EXPECT_EQ(result.status, 0) << result.err;
    }
    std::this_thread::sleep_for(40ms);
    stop = true;
    writer.join();
    loop.join();
    EXPECT_GT(written, kRotations * 10);
    ExpectEachOnce(FiredNumbers(harness.Sink()), written);
}

INSTANTIATE_TEST_SUITE_P(Modes, LogrotateWhileWriting, testing::Values("create", "copytruncate"));

// A file absent at first, deleted and made again, rotated by renaming and by copying while
// the watching is stopped, cleanly or by a crash: every line once, counters kept.
TEST(WatchRotation, AppearsLaterIsRecreatedAndSurvivesRestarts) {
    test::WatchHarness harness;
    const std::string file = harness.Dir().File("late.log");
    const auto watched = [&](const std::string& count) {
        return std::vector<std::string>{file, "line", count};
    };
    harness.Watch({watched("1"), watched("3")});
    harness.PumpFor(50ms);
    const auto expectTotal = [&](int total) {
        harness.PumpUntil(
            [&] { return FiredNumbers(harness.Sink()).size() >= std::size_t(total); });
        harness.PumpFor(100ms);
        ExpectEachOnce(FiredNumbers(harness.Sink()), total);
    };

    harness.Append("late.log", Numbered(0, 5));  // appears: read from its start
    expectTotal(5);
    fs::remove(file);
    harness.Append("late.log", Numbered(5, 10));
    expectTotal(10);

    harness.Engine().Save();  // a clean stop; renamed while stopped
    harness.Append("late.log", Numbered(10, 15));
    fs::rename(file, file + ".1");
    harness.Append("late.log", Numbered(15, 20));
    harness.Restart();
    expectTotal(20);

    harness.Append("late.log", Numbered(20, 25));
    expectTotal(25);
    harness.Append("late.log", Numbered(25, 30));  // a crash; copied and truncated meanwhile
    harness.Restart();
    fs::copy_file(file, file + ".0");
    fs::resize_file(file, 0);
    harness.Append("late.log", Numbered(30, 35));
    harness.Restart();
    expectTotal(35);
    EXPECT_EQ(FiredNumbers(harness.Sink(), "3"),
              (std::vector<int>{2, 5, 8, 11, 14, 17, 20, 23, 26, 29, 32}));

    // An upload: the unchanged row keeps its two hits, the changed one starts again.
    harness.Watch({watched("3"), watched("2")});
    harness.Append("late.log", Numbered(35, 36));
    harness.PumpUntil([&] { return FiredNumbers(harness.Sink(), "3").size() == 12; });
    harness.PumpFor(100ms);
    EXPECT_EQ(FiredNumbers(harness.Sink(), "3").back(), 35);
    EXPECT_TRUE(FiredNumbers(harness.Sink(), "2").empty());
}

// More generations than the missed-generation look keeps, renamed while the watching is
// stopped: the one read last and the newest are both found, sorted names or not.
TEST(WatchRotation, ManyGenerationsWhileStopped) {
    test::WatchHarness harness;
    const std::string file = harness.Dir().File("many.log");
    harness.Append("many.log", "");
    harness.Watch({{file, "line", "1"}});
    harness.Append("many.log", Numbered(0, 1));
    harness.PumpUntil([&] { return !harness.Sink().Fired().empty(); });
    harness.Engine().Save();
    constexpr int kGenerations = 80;
    for (int g = 1; g <= kGenerations; ++g) {
        harness.Append("many.log", Numbered(g, g + 1));
        fs::rename(file, file + "." + std::to_string(g));
    }
    harness.Append("many.log", Numbered(kGenerations + 1, kGenerations + 2));
    harness.Restart();
    harness.PumpUntil([&] { return harness.Sink().Fired().size() >= kGenerations + 2; });
    harness.PumpFor(100ms);
    ExpectEachOnce(FiredNumbers(harness.Sink()), kGenerations + 2);
}

// The copy half of a copytruncate met before its truncation: looked at, across a clean or a
// crashed restart, or with nothing read yet at the path. Each step is one letter: a append
// five lines, c copy to the next ".N", t truncate, p let the engine look and read, s save,
// r restart (after s: clean; else as a crash). Every line is counted once.
TEST(WatchRotation, CopyTruncateMetHalfWay) {
    for (const std::string steps : {"apacptap", "apacsrptap", "apacrtap", "acptap", "apcp",
                                    "apctpcptap", "apacsrtap", "aacptaacptap"}) {
        SCOPED_TRACE(steps);
        test::WatchHarness harness;
        const std::string file = harness.Dir().File("half.log");
        harness.Append("half.log", "");
        harness.Watch({{file, "line", "1"}});
        harness.PumpFor(30ms);
        int written = 0;
        int copies = 0;
        for (const char step : steps) {
            switch (step) {
                case 'a':
                    harness.Append("half.log", Numbered(written, written + 5));
                    written += 5;
                    break;
                case 'c':
                    fs::copy_file(file, file + "." + std::to_string(++copies));
                    break;
                case 't':
                    fs::resize_file(file, 0);
                    break;
                case 'p':
                    harness.PumpFor(80ms);
                    break;
                case 's':
                    harness.Engine().Save();
                    break;
                case 'r':
                    harness.Restart();
                    break;
            }
        }
        harness.PumpUntil(
            [&] { return FiredNumbers(harness.Sink()).size() >= std::size_t(written); });
        harness.PumpFor(80ms);
        ExpectEachOnce(FiredNumbers(harness.Sink()), written);
    }
}

}  // namespace
}  // namespace kv
