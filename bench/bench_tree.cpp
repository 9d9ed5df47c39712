// Parse and build of a large tree reply: entries per second for the parse alone, for parse +
// build into the pane's node tree, and the memory the built nodes keep. Prints numbers only;
// never fails on a time.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <malloc.h>
#include <sys/resource.h>

#include "ProcStatus.h"
#include "TreeListingMaker.h"
#include "agent/NodeTree.h"
#include "agent/SubtreeBuilder.h"
#include "agent/TreeList.h"

using namespace kv::agent;
using namespace kv::bench;

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kEntries = 1000000;
constexpr int kRounds = 7;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// User + system time of this process: on a shared machine the wall clock also counts the
// time other processes held the cores.
double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Bytes handed out by malloc, from the heap and from separate mappings.
std::size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// The simplest parse into a node vector: line ends and indentation, nothing else.
struct PlainNode {
    std::string_view text;
    std::uint32_t level;
};
std::size_t PlainParse(std::string_view text, std::vector<PlainNode>& nodes) {
    nodes.clear();
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        const char* nl = static_cast<const char*>(std::memchr(p, '\n', end - p));
        if (!nl) {
            nl = end;
        }
        const char* q = p;
        while (q < nl && (*q == '\t' || *q == ' ')) {
            ++q;
        }
        nodes.push_back({{q, static_cast<std::size_t>(nl - q)}, static_cast<std::uint32_t>(q - p)});
        p = nl + 1;
    }
    return nodes.size();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main() {
    const std::string listing = kv::bench::MakeListing(kEntries);
    std::size_t lines = static_cast<std::size_t>(std::count(listing.begin(), listing.end(), '\n'));
    std::printf("listing: %zu lines, %.1f MB\n", lines, listing.size() / 1e6);

    std::vector<double> plain, parse, build, destroy, parseCpu, buildCpu;
    std::vector<PlainNode> plainNodes;
    plainNodes.reserve(lines + 1);
    for (int round = 0; round < kRounds; ++round) {
        auto t0 = Clock::now();
        PlainParse(listing, plainNodes);
        plain.push_back(Seconds(Clock::now() - t0));

        kv::agent::TTreeList list;
        double c0 = CpuSeconds();
        t0 = Clock::now();
        list.LoadFromBuffer(listing);
        parse.push_back(Seconds(Clock::now() - t0));
        parseCpu.push_back(CpuSeconds() - c0);
        list.Clear();

        auto tree = std::make_unique<kv::agent::NodeTree>();
        const kv::agent::NodeTree::Id server =
            tree->Append(kv::agent::NodeTree::kNone, "127.202.2.1",
                         kv::agent::Picture::ServerNotLoaded, kv::agent::Picture::ServerNotLoaded);
        kv::agent::TreeProgress progress;
        c0 = CpuSeconds();
        t0 = Clock::now();
        kv::agent::BuildServerSubtree(*tree, server, listing, progress);
        build.push_back(Seconds(Clock::now() - t0));
        buildCpu.push_back(CpuSeconds() - c0);

        t0 = Clock::now();
        tree.reset();
        destroy.push_back(Seconds(Clock::now() - t0));
    }
    const double entries = static_cast<double>(lines);
    std::printf("plain line split   : %7.1f ms  %6.1f M lines/s\n", Median(plain) * 1e3,
                entries / Median(plain) / 1e6);
    std::printf(
        "TTreeList parse    : %7.1f ms  %6.1f M entries/s  (%.2fx the plain split)  "
        "cpu %.1f ms\n",
        Median(parse) * 1e3, entries / Median(parse) / 1e6, Median(parse) / Median(plain),
        Median(parseCpu) * 1e3);
    std::printf(
        "parse + build      : %7.1f ms  %6.1f M entries/s  (best %.1f ms, goal 150 ms)  "
        "cpu %.1f ms\n",
        Median(build) * 1e3, entries / Median(build) / 1e6,
        *std::min_element(build.begin(), build.end()) * 1e3, Median(buildCpu) * 1e3);
    std::printf("tree destruction   : %7.1f ms\n", Median(destroy) * 1e3);

    // Memory: what the built nodes keep once the scratch tree is gone (resident growth: the
    // node arena is mapped apart from malloc; captions and child lists come from malloc),
    // and the peak resident growth during parse + build.
    malloc_trim(0);
    const std::size_t heapBefore = HeapInUse();
    const long rssBefore = StatusField("VmRSS");
    ResetPeak();
    kv::agent::NodeTree tree;
    const kv::agent::NodeTree::Id server =
        tree.Append(kv::agent::NodeTree::kNone, "127.202.2.1", kv::agent::Picture::ServerNotLoaded,
                    kv::agent::Picture::ServerNotLoaded);
    kv::agent::TreeProgress progress;
    kv::agent::BuildServerSubtree(tree, server, listing, progress);
    const long peak = StatusField("VmHWM");
    const long rssAfter = StatusField("VmRSS");
    const std::size_t heapAfter = HeapInUse();
    const double kept = (rssAfter - rssBefore) * 1e3;
    std::printf("nodes kept         : %7.1f MB  (%zu nodes, %.0f bytes per node, goal 150 MB)\n",
                kept / 1e6, tree.Size(), kept / static_cast<double>(tree.Size()));
    std::printf("  of which malloc  : %7.1f MB  (captions over 15 bytes, child lists)\n",
                (heapAfter - heapBefore) / 1e6);
    std::printf("peak RSS growth    : %7.1f MB  (parse scratch included)\n",
                (peak - rssBefore) / 1e3);
    std::printf("progress position  : %d\n", progress.position);
    return 0;
}
