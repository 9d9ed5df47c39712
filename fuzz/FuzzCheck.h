// What the fuzz targets share: a failed check stops the run where libFuzzer sees it, and
// the conversions are all checked the same way.
#pragma once

#include <cstdlib>
#include <string>
#include <string_view>

#include "text/JapaneseConversion.h"

namespace kv::fuzz {

inline void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

inline bool InJisRange(unsigned char b) {
    return b >= 0x21 && b <= 0x7E;
}

using ConversionLoop = decltype(&text::detail::ConversionPath::eucToSjis);

// Converts `in` by the byte-at-a-time walk, by every block loop this CPU runs (not only the
// one the public function picks) and by the public function, each appending to what the
// output already held; all must agree. Returns the converted text.
template <class Walk, class Convert>
std::string ConvertEveryWay(std::string_view in, Walk walk, ConversionLoop loop, Convert convert) {
    const std::string held = "kept";
    std::string scalar = held;
    walk(in, scalar);
    for (const text::detail::ConversionPath& path : text::detail::ConversionPaths()) {
        if (path.available) {
            std::string viaPath = held;
            (path.*loop)(in, viaPath);
            Check(viaPath == scalar);
        }
    }
    std::string fast = held;
    convert(in, fast);
    Check(fast == scalar);
    return fast.substr(held.size());
}

}  // namespace kv::fuzz
