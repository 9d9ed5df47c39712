#include "store/SameText.h"

#include <cstddef>

namespace kv::store {

namespace {

bool IsLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

unsigned char FoldAscii(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

}  // namespace

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    bool trail = false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        if (trail) {
            if (ca != cb) {
                return false;
            }
            trail = false;
            continue;
        }
        if (FoldAscii(ca) != FoldAscii(cb)) {
            return false;
        }
        trail = IsLeadByte(ca);
    }
    return true;
}

}  // namespace kv::store
