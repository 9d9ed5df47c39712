// Converts arbitrary bytes from EUC-JP and checks the block-wise conversion against the
// byte-at-a-time walk, that a valid EUC-JP text comes back unchanged from a round trip,
// and that every JIS pair the input spells survives the pair arithmetic both ways.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "text/JapaneseConversion.h"

using namespace kv::text;
using namespace kv::fuzz;

namespace {

// ASCII, pairs of 0xA1..0xFE, and 0x8E before a half-width katakana.
bool ValidEuc(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            i += 1;
            continue;
        }
        if (i + 1 >= text.size()) {
            return false;
        }
        const auto next = static_cast<unsigned char>(text[i + 1]);
        const bool pair = c >= 0xA1 && c <= 0xFE && next >= 0xA1 && next <= 0xFE;
        const bool kana = c == 0x8E && next >= 0xA1 && next <= 0xDF;
        if (!pair && !kana) {
            return false;
        }
        i += 2;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view euc(reinterpret_cast<const char*>(data), size);

    const std::string converted = ConvertEveryWay(
        euc, kv::text::detail::EucToSjisScalar, &kv::text::detail::ConversionPath::eucToSjis,
        [](std::string_view in, std::string& out) { kv::text::EucToSjis(in, out); });

    if (ValidEuc(euc)) {
        Check(kv::text::SjisToEuc(converted) == euc);
    }

    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const auto j1 = static_cast<unsigned char>(data[i] & 0x7F);
        const auto j2 = static_cast<unsigned char>(data[i + 1] & 0x7F);
        if (InJisRange(j1) && InJisRange(j2)) {
            const std::string sjis = kv::text::JisToSjisPair(j1, j2);
            const std::string back = kv::text::SjisToJisPair(static_cast<unsigned char>(sjis[0]),
                                                             static_cast<unsigned char>(sjis[1]));
            Check(back == std::string{static_cast<char>(j1), static_cast<char>(j2)});
        }
    }
    return 0;
}
