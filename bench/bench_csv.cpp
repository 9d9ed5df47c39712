// Loads and saves a generated 50 MB table of watch rows and prints the rates, with the
// plain file read of the same bytes as the yardstick.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "store/AtomicFile.h"
#include "store/TMlb2.h"

using namespace kv::store;

namespace {

constexpr std::size_t kTargetBytes = 50u * 1000 * 1000;
constexpr int kRounds = 3;

std::string Generate(std::size_t& records) {
    std::string bytes =
        "\"FileName\",\"SearchString\",\"SearchCount\",\"MailAddress\",\"Command\"\r\n";
    records = 0;
    while (bytes.size() < kTargetBytes) {
        const std::string n = std::to_string(records);
        bytes += "\"/var/log/app" + n + "/messages.log\",\"\x83\x47\x83\x89\x81\x5B \"\"" + n +
                 "\"\" failed, retry\",\"" + std::to_string(records % 97 + 1) + "\",\"ops" + n +
                 "@example.com\",\"/usr/local/bin/notify --level=2 " + n + "\"\r\n";
        ++records;
    }
    return bytes;
}

template <typename F>
double BestSeconds(F&& run) {
    double best = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        run();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

void Report(const char* what, double seconds, std::size_t bytes, std::size_t records) {
    std::printf("%-22s %8.3f s %9.1f MB/s %12.0f records/s\n", what, seconds,
                static_cast<double>(bytes) / 1e6 / seconds, static_cast<double>(records) / seconds);
}

}  // namespace

int main() {
    const std::string dir =
        (std::filesystem::temp_directory_path() / ("kvbench-csv-" + std::to_string(getpid())))
            .string();
    std::filesystem::create_directories(dir);
    const std::string path = dir + "/rows.csv";

    std::size_t records = 0;
    const std::string bytes = Generate(records);
    kv::store::WriteFileAtomically(path, bytes);
    std::printf("table: %zu bytes, %zu records, 5 fields\n", bytes.size(), records);

    std::string read;
    const double readSeconds = BestSeconds([&] { kv::store::ReadWholeFile(path, read); });
    kv::store::TMlb2 table;
    table.Separator = ",";
    const double loadSeconds = BestSeconds([&] { table.LoadFromFile(path); });
    const double parseSeconds = BestSeconds([&] { table.LoadFromBytes(bytes); });
    std::string written;
    const double formatSeconds = BestSeconds([&] { written = table.ToBytes(); });
    const double saveSeconds = BestSeconds([&] { table.SaveToFile(path); });

    Report("read file (yardstick)", readSeconds, bytes.size(), records);
    Report("LoadFromFile", loadSeconds, bytes.size(), records);
    Report("LoadFromBytes", parseSeconds, bytes.size(), records);
    Report("ToBytes", formatSeconds, written.size(), records);
    Report("SaveToFile (fsync)", saveSeconds, written.size(), records);
    std::printf("LoadFromFile / read: %.1fx slower; round trip identical: %s\n",
                loadSeconds / readSeconds, written == bytes ? "yes" : "no");

    std::filesystem::remove_all(dir);
    return 0;
}
