#pragma once

// A large tree reply shaped like an Agent's listing of a Unix file system, for the
// benchmarks of the tree parse and of the server pane.

#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

namespace kv::bench {

struct Random {
    std::uint64_t state = 0x9e3779b97f4a7c15ULL;
    std::uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<std::uint32_t>(state >> 11);
    }
    std::uint32_t Below(std::uint32_t n) { return Next() % n; }
};

inline const char* const kStems[] = {"lib",    "log",     "config", "cache",  "data",     "index",
                                     "share",  "include", "python", "module", "messages", "backup",
                                     "kernel", "locale",  "doc",    "man",    "systemd",  "x86_64"};
inline const char* const kSuffixes[] = {"",   ".so", ".conf", ".log", ".txt",
                                        ".h", ".py", ".gz",   ".1"};

inline std::string Name(Random& random) {
    std::string name = kStems[random.Below(std::size(kStems))];
    if (random.Below(2) == 0) {
        name += '-';
        name += std::to_string(random.Below(100000));
    }
    name += kSuffixes[random.Below(std::size(kSuffixes))];
    return name;
}

// A root line, then directories with a few subdirectories and a tail of files, TAB-indented
// and depth first, as an Agent lists a Unix file system; now and then a notice or extra field.
inline std::string MakeListing(std::size_t entries) {
    Random random;
    std::string text = "IsDir /\n";
    std::size_t made = 0;
    struct Pending {
        std::uint32_t level;
        std::uint32_t subdirectories;
    };
    std::vector<Pending> stack{{1, 24}};
    while (made < entries) {
        if (stack.empty()) {
            stack.push_back({1, 8});
        }
        Pending& top = stack.back();
        const std::uint32_t level = top.level;
        const std::uint32_t files = random.Below(level < 3 ? 4 : 24);
        for (std::uint32_t i = 0; i < files && made < entries; ++i, ++made) {
            text.append(level, '\t');
            if (random.Below(500) == 0) {
                text += "IsEnd ";
            }
            text += Name(random);
            if (random.Below(50) == 0) {
                text += "\t\x1b";
            }
            text += '\n';
        }
        if (top.subdirectories == 0 || made >= entries) {
            stack.pop_back();
            continue;
        }
        --top.subdirectories;
        text.append(level, '\t').append("IsDir ").append(Name(random)).append("\n");
        ++made;
        const std::uint32_t fanOut = level < 2 ? 12 : level < 6 ? random.Below(6) : 0;
        stack.push_back({level + 1, fanOut});
    }
    return text;
}

}  // namespace kv::bench
