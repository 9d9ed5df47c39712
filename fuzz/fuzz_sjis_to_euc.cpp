// Converts arbitrary bytes from Shift_JIS and checks the block-wise conversion against the
// byte-at-a-time walk, that a Shift_JIS text of JIS X 0208 comes back unchanged from a
// round trip, and that the pair arithmetic inverts every pair it produces in range.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "text/JapaneseConversion.h"

using namespace kv::text;
using namespace kv::fuzz;

namespace {

// ASCII, half-width katakana, and pairs whose JIS form lies in rows 0x21..0x7E: lead
// 0x81..0x9F or 0xE0..0xEF, second byte 0x40..0x7E or 0x80..0xFC.
bool ValidSjisOfJisX0208(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80 || (c >= 0xA1 && c <= 0xDF)) {
            i += 1;
            continue;
        }
        if (i + 1 >= text.size()) {
            return false;
        }
        const auto next = static_cast<unsigned char>(text[i + 1]);
        const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xEF);
        const bool second = (next >= 0x40 && next <= 0x7E) || (next >= 0x80 && next <= 0xFC);
        if (!lead || !second) {
            return false;
        }
        i += 2;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view sjis(reinterpret_cast<const char*>(data), size);

    const std::string converted = ConvertEveryWay(
        sjis, kv::text::detail::SjisToEucScalar, &kv::text::detail::ConversionPath::sjisToEuc,
        [](std::string_view in, std::string& out) { kv::text::SjisToEuc(in, out); });

    if (ValidSjisOfJisX0208(sjis)) {
        Check(kv::text::EucToSjis(converted) == sjis);
    }

    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const std::string jis = kv::text::SjisToJisPair(data[i], data[i + 1]);
        const auto j1 = static_cast<unsigned char>(jis[0]);
        const auto j2 = static_cast<unsigned char>(jis[1]);
        if (InJisRange(j1) && InJisRange(j2)) {
            const std::string again = kv::text::JisToSjisPair(j1, j2);
            Check(kv::text::SjisToJisPair(static_cast<unsigned char>(again[0]),
                                          static_cast<unsigned char>(again[1])) == jis);
        }
    }
    return 0;
}
