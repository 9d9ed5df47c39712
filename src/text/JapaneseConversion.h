#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kv::text {

// EUC-JP <-> Shift_JIS by code-pair arithmetic (JIS X 0208), no tables.
// All four are total: every byte string converts to some byte string.

// (j1, j2) of JIS X 0208 -> the two Shift_JIS bytes.
std::string JisToSjisPair(unsigned char j1, unsigned char j2);
// (s1, s2) Shift_JIS -> the two JIS bytes.
std::string SjisToJisPair(unsigned char s1, unsigned char s2);

// Append the conversion of `in` to `out` in one pass.
void EucToSjis(std::string_view in, std::string& out);
void SjisToEuc(std::string_view in, std::string& out);

std::string EucToSjis(std::string_view in);
std::string SjisToEuc(std::string_view in);

namespace detail {

// The byte-at-a-time walks that define both conversions. The public functions are faster
// versions of these and must give the same bytes for every input; tests and fuzzers hold
// them to that.
void EucToSjisScalar(std::string_view in, std::string& out);
void SjisToEucScalar(std::string_view in, std::string& out);

// One build of both fast walks, named for the block converter it uses ("portable", "sse2",
// "avx2"); `available` says whether this CPU runs it. The public functions take the last
// available one; tests compare each against the scalar walks.
struct ConversionPath {
    std::string_view name;
    bool available;
    void (*eucToSjis)(std::string_view in, std::string& out);
    void (*sjisToEuc)(std::string_view in, std::string& out);
};

// Every path compiled in, slowest first.
const std::vector<ConversionPath>& ConversionPaths();

}  // namespace detail

}  // namespace kv::text
