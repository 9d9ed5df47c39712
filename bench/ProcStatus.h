#pragma once

// What the kernel tells about a process's memory, wake-ups and processor time, for the
// benchmarks.

#include <cstdint>
#include <ctime>
#include <fstream>
#include <string>

namespace kv::bench {

// A field of /proc/PID/status by its name ("VmRSS" and "VmHWM" in kB,
// "voluntary_ctxt_switches"), or -1 when it is not there.
inline long StatusField(const std::string& name, const std::string& pid = "self") {
    std::ifstream status("/proc/" + pid + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with(name + ":")) {
            return std::stol(line.substr(name.size() + 1));
        }
    }
    return -1;
}

// This process's resident size now and at its peak since the last ResetPeak(), in bytes.
inline std::uint64_t ResidentBytes() {
    return static_cast<std::uint64_t>(StatusField("VmRSS")) * 1024;
}
inline std::uint64_t PeakResidentBytes() {
    return static_cast<std::uint64_t>(StatusField("VmHWM")) * 1024;
}

// Starts the peak again from the present resident size.
inline void ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// Processor time of the calling thread in ms: on a shared machine, time spent waiting for a
// processor is not the program's.
inline double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

}  // namespace kv::bench
