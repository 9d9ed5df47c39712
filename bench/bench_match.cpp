// The Agent's matching against grep -F on the same bytes, in the same run: one watched string
// and 128 of them (sharing a prefix, and all different) over generated ASCII log lines. Prints
// the matcher's GB/s over the text in memory, the engine's over the file (reading, matching,
// counting), and grep -F -c / grep -F -c -f over the file (wall time, LC_ALL=C), with the
// matching lines each found.
// Usage: bench_match [megabytes of log, default 1024] [rounds, default 3]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "agentd/DailyLog.h"
#include "agentd/PatternSet.h"
#include "agentd/WatchEngine.h"
#include "support/ChildProcess.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Lines of the shape busy services write: time, host, process, a message of words and
// numbers. One line in a thousand holds a watched string.
std::string MakeLog(std::size_t bytes, const std::vector<std::string>& watched) {
    std::mt19937 random(42);
    std::string log;
    log.reserve(bytes + 256);
    const char* hosts[] = {"web01", "web02", "db1", "cache-a", "mail", "batch7"};
    const char* processes[] = {"nginx", "sshd", "postfix/smtpd", "app", "cron", "kernel"};
    const char* messages[] = {
        "GET /index.html HTTP/1.1 200 1532 \"-\" \"Mozilla/5.0\"",
        "connection reset by peer while reading response header from upstream",
        "pam_unix(sshd:session): session opened for user admin by (uid=0)",
        "request id=%u took %u ms",
        "cache miss for key user:%u, fetching from backend",
        "worker %u finished job %u in 0.%03u s",
        "connect from unknown[10.0.%u.%u]",
        "Accepted publickey for deploy from 192.168.%u.%u port 52144 ssh2",
        "[UFW BLOCK] IN=eth0 OUT= SRC=127.11.%u.%u DST=127.11.0.1 LEN=60 PROTO=TCP",
        "(root) CMD (run-parts /etc/cron.hourly) %u %u",
    };
    char message[192];
    char line[320];
    while (log.size() < bytes) {
        const unsigned r = random();
        const unsigned s = random();
        std::snprintf(message, sizeof message, messages[s % 10], (s >> 4) % 250, (s >> 12) % 250,
                      (s >> 20) % 1000);
        std::snprintf(line, sizeof line, "Dec  8 07:%02u:%02u %s %s[%u]: %s", r % 60, (r >> 8) % 60,
                      hosts[(r >> 16) % 6], processes[(r >> 19) % 6], 1000 + (r >> 4) % 9000,
                      message);
        log += line;
        if (s % 1000 == 0) {
            log += ' ';
            log += watched[(s >> 10) % watched.size()];
        }
        log += '\n';
    }
    return log;
}

// The lines holding any of the strings, counted as grep -c counts them.
std::size_t MatchingLines(const kv::agentd::PatternSet& set, std::string_view text) {
    std::size_t lines = 0;
    std::size_t lineEnd = 0;
    bool any = false;
    set.Scan(text, [&](std::size_t, std::size_t start) {
        if (!any || start > lineEnd) {
            lineEnd = std::min(text.find('\n', start), text.size());
            any = true;
            ++lines;
        }
    });
    return lines;
}

class NullSink : public kv::agentd::FiredRowSink {
public:
    void Fire(const kv::agentd::FiredRow&) override {}
};

// The engine's wall time to read, match and count the whole file once.
double EngineSeconds(const std::string& data, const std::vector<std::string>& strings,
                     const std::string& dir) {
    const std::string watched = dir + "/watched.log";
    fs::remove(watched);
    fs::remove(dir + "/state.txt");
    kv::agentd::DailyLog log(dir, "/", [] { return std::time(nullptr); });
    NullSink sink;
    kv::agentd::WatchEngine engine(dir + "/state.txt", {}, sink, log);
    std::vector<kv::settings::WatchRow> rows;
    for (const std::string& string : strings) {
        rows.push_back({watched, string, "1000000000", "", ""});
    }
    engine.Apply(rows, {}, "bench");
    fs::create_hard_link(data, watched);  // appears whole: read from its start
    const auto start = Clock::now();
    while (engine.Tick() == 0ms) {
    }
    return Since(start);
}

// grep's wall time and its count, or -1 when it did not run to its end within a minute.
double GrepSeconds(const std::vector<std::string>& args, std::size_t& lines) {
    const auto start = Clock::now();
    kv::test::ChildProcess grep(args, {"LC_ALL=C"});
    const std::string& output = grep.AllOutput(60s);
    const int status = grep.Wait(1s);
    const double seconds = Since(start);
    lines = std::strtoul(output.c_str(), nullptr, 10);
    return status == 0 || status == 1 ? seconds : -1;
}

struct Family {
    const char* name;
    std::vector<std::string> strings;
};

std::vector<Family> Families() {
    Family prefixed{"128 sharing a prefix", {}};
    for (int i = 0; i < 128; ++i) {
        prefixed.strings.push_back("ERR" + std::to_string(1000 + i * 37) + "x");
    }
    // What administrators watch for: phrases of ordinary words, no two alike.
    const char* subjects[] = {"disk",    "quota", "link",   "fan",    "backup", "certificate",
                              "session", "queue", "mirror", "daemon", "upload", "license",
                              "socket",  "index", "worker", "tunnel"};
    const char* states[] = {"failed",  "timeout",   "degraded",    "refused",
                            "expired", "corrupted", "unreachable", "overflow"};
    Family different{"128 all different", {}};
    for (const char* subject : subjects) {
        for (const char* state : states) {
            different.strings.push_back(std::string(subject) + " " + state);
        }
    }
    return {Family{"1", {prefixed.strings.front()}}, Family{"1 ordinary", {"disk failed"}},
            prefixed, different};
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1024;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    char pattern[] = "/dev/shm/kv-bench-match-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        return 1;
    }
    const std::string dir = pattern;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::vector<std::string> everything;
    for (const Family& family : Families()) {
        everything.insert(everything.end(), family.strings.begin(), family.strings.end());
    }
    const std::string log = MakeLog(megabytes << 20, everything);
    const std::string data = dir + "/data.log";
    std::ofstream(data, std::ios::binary) << log;
    const double gb = double(log.size()) / 1e9;
    const auto load = [] {
        std::string text;
        std::getline(std::ifstream("/proc/loadavg"), text);
        return text;
    };
    std::printf("%.2f GB of ASCII log in %s, best of %d, load %s\n", gb, dir.c_str(), rounds,
                load().c_str());
    std::printf("%-22s %10s %10s %10s   %s\n", "strings", "matcher", "engine", "grep -F",
                "matching lines (matcher / grep)");
    for (const Family& family : Families()) {
        const kv::agentd::PatternSet set(family.strings);
        std::string list;
        for (const std::string& string : family.strings) {
            list += string + "\n";
        }
        std::ofstream(dir + "/strings.txt") << list;
        const std::vector<std::string> grep =
            family.strings.size() == 1
                ? std::vector<std::string>{"/usr/bin/grep", "-F", "-c", family.strings[0], data}
                : std::vector<std::string>{"/usr/bin/grep",      "-F", "-c", "-f",
                                           dir + "/strings.txt", data};
        double matcher = 1e9;
        double engine = 1e9;
        double theirs = 1e9;
        std::size_t ours = 0;
        std::size_t grepLines = 0;
        for (int round = 0; round < rounds; ++round) {
            const auto start = Clock::now();
            ours = MatchingLines(set, log);
            matcher = std::min(matcher, Since(start));
            engine = std::min(engine, EngineSeconds(data, family.strings, dir));
            const double seconds = GrepSeconds(grep, grepLines);
            theirs = seconds < 0 ? theirs : std::min(theirs, seconds);
        }
        std::printf("%-22s %5.2f GB/s %5.2f GB/s %5.2f GB/s   %zu / %zu\n", family.name,
                    gb / matcher, gb / engine, gb / theirs, ours, grepLines);
    }
    std::printf("load at the end %s\n", load().c_str());
    fs::remove_all(dir);
    return 0;
}
