// Throughput of the EUC-JP <-> Shift_JIS conversions against glibc iconv and memcpy, on a
// Japanese text and on a mostly-ASCII log, both generated in memory.
// Usage: bench_conversion [megabytes per text, default 200]

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <string_view>

#include <iconv.h>

#include "ProcStatus.h"
#include "text/JapaneseConversion.h"

using namespace kv::text;

using namespace kv::bench;

namespace {

unsigned Pick(std::mt19937& rng, unsigned bound) {
    return static_cast<unsigned>(rng() % bound);
}

// A JIS X 0208 character of the kind that fills Japanese prose: mostly kanji of the first
// level, hiragana, some katakana and full-width punctuation.
void AppendJapaneseChar(std::mt19937& rng, std::string& euc) {
    const unsigned pick = Pick(rng, 100);
    unsigned row;
    unsigned cell;
    if (pick < 45) {
        row = 0x30 + Pick(rng, 0x1F);
        cell = 0x21 + Pick(rng, 94);
    } else if (pick < 85) {
        row = 0x24;
        cell = 0x21 + Pick(rng, 83);
    } else if (pick < 95) {
        row = 0x25;
        cell = 0x21 + Pick(rng, 86);
    } else {
        row = 0x21;
        cell = 0x21 + Pick(rng, 94);
    }
    euc += static_cast<char>(row | 0x80);
    euc += static_cast<char>(cell | 0x80);
}

std::string JapaneseText(std::size_t size) {
    std::mt19937 rng(1);
    std::string euc;
    euc.reserve(size + 64);
    static const char* const kAscii[] = {", ", ". ", "2024", "10", "(", ")", "3.5", ":", "OK"};
    while (euc.size() < size) {
        const unsigned chars = 20 + Pick(rng, 40);
        for (unsigned i = 0; i < chars; ++i) {
            if (Pick(rng, 24) == 0) {
                euc += kAscii[Pick(rng, std::size(kAscii))];
            } else {
                AppendJapaneseChar(rng, euc);
            }
        }
        euc += '\n';
    }
    euc.resize(size);
    // A pair cut in two by the cut would end in a lone lead byte; end on a line instead.
    euc.back() = '\n';
    return euc;
}

std::string LogText(std::size_t size) {
    std::mt19937 rng(2);
    std::string euc;
    euc.reserve(size + 256);
    static const char* const kLevels[] = {"INFO", "WARN", "ERROR", "DEBUG"};
    static const char* const kFiles[] = {"/var/log/messages", "/opt/app/logs/server.log",
                                         "/home/batch/out/result.txt", "/var/log/httpd/access_log"};
    char line[256];
    while (euc.size() < size) {
        const int n =
            std::snprintf(line, sizeof line,
                          "2024-06-%02u %02u:%02u:%02u [%s] watch %s: search string matched, "
                          "count=%u mail sent to admin@example.com ",
                          1 + Pick(rng, 28), Pick(rng, 24), Pick(rng, 60), Pick(rng, 60),
                          kLevels[rng() % 4], kFiles[rng() % 4], Pick(rng, 100));
        euc.append(line, static_cast<std::size_t>(n));
        if (Pick(rng, 8) == 0) {
            const unsigned chars = 2 + Pick(rng, 5);
            for (unsigned i = 0; i < chars; ++i) {
                AppendJapaneseChar(rng, euc);
            }
        }
        euc += '\n';
    }
    euc.resize(size);
    euc.back() = '\n';
    return euc;
}

// Best throughput of `runs` runs, in MB/s of input.
double Measure(std::size_t inputSize, int runs, const std::function<void()>& run) {
    double best = 0;
    for (int i = 0; i < runs; ++i) {
        const double start = ThreadCpuMs() / 1e3;
        run();
        const double seconds = ThreadCpuMs() / 1e3 - start;
        best = std::max(best, static_cast<double>(inputSize) / 1e6 / seconds);
    }
    return best;
}

// Converts the whole text with iconv into a buffer sized beforehand, as a caller that
// knows the bound would.
double MeasureIconv(const char* to, const char* from, const std::string& in, std::string& out,
                    int runs) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        std::fprintf(stderr, "iconv cannot convert %s to %s\n", from, to);
        std::exit(1);
    }
    out.resize(in.size() * 2);
    const double rate = Measure(in.size(), runs, [&] {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data());
        std::size_t srcLeft = in.size();
        char* dst = out.data();
        std::size_t dstLeft = out.size();
        while (srcLeft > 0) {
            if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1)) {
                // Skip what the table lacks, as a display would.
                ++src;
                --srcLeft;
            }
        }
    });
    iconv_close(cd);
    return rate;
}

void Report(const char* text, const char* what, double rate, double iconvRate, double memcpyRate) {
    std::printf("%-9s %-34s %9.0f MB/s  %6.1fx iconv  %5.2fx memcpy\n", text, what, rate,
                rate / iconvRate, rate / memcpyRate);
}

// Each block converter this CPU runs, to show what the wider blocks gain.
void ReportPaths(const char* text, const char* what,
                 void (*kv::text::detail::ConversionPath::*convert)(std::string_view, std::string&),
                 const std::string& in, std::string& out, double iconvRate, double memcpyRate,
                 int runs) {
    for (const kv::text::detail::ConversionPath& path : kv::text::detail::ConversionPaths()) {
        if (!path.available) {
            continue;
        }
        const double rate = Measure(in.size(), runs, [&] {
            out.clear();
            (path.*convert)(in, out);
        });
        const std::string label = std::string(what) + ", " + std::string(path.name) + " path";
        Report(text, label.c_str(), rate, iconvRate, memcpyRate);
    }
}

void BenchText(const char* name, const std::string& euc, double memcpyRate, int runs) {
    const std::string sjis = kv::text::EucToSjis(euc);
    std::string out;
    out.reserve(euc.size() * 2 + 16);

    const double eucIconv = MeasureIconv("SHIFT_JIS", "EUC-JP", euc, out, 2);
    const double eucIconvCp932 = MeasureIconv("CP932", "EUC-JP", euc, out, 2);
    const double eucFast = Measure(euc.size(), runs, [&] {
        out.clear();
        kv::text::EucToSjis(euc, out);
    });
    const double eucScalar = Measure(euc.size(), 2, [&] {
        out.clear();
        kv::text::detail::EucToSjisScalar(euc, out);
    });

    const double sjisIconv = MeasureIconv("EUC-JP", "SHIFT_JIS", sjis, out, 2);
    const double sjisIconvCp932 = MeasureIconv("EUC-JP", "CP932", sjis, out, 2);
    const double sjisFast = Measure(sjis.size(), runs, [&] {
        out.clear();
        kv::text::SjisToEuc(sjis, out);
    });
    const double sjisScalar = Measure(sjis.size(), 2, [&] {
        out.clear();
        kv::text::detail::SjisToEucScalar(sjis, out);
    });

    Report(name, "iconv EUC-JP -> SHIFT_JIS", eucIconv, eucIconv, memcpyRate);
    Report(name, "iconv EUC-JP -> CP932", eucIconvCp932, eucIconv, memcpyRate);
    Report(name, "EucToSjis", eucFast, eucIconv, memcpyRate);
    Report(name, "EucToSjis, byte-at-a-time walk", eucScalar, eucIconv, memcpyRate);
    ReportPaths(name, "EucToSjis", &kv::text::detail::ConversionPath::eucToSjis, euc, out, eucIconv,
                memcpyRate, runs);
    Report(name, "iconv SHIFT_JIS -> EUC-JP", sjisIconv, sjisIconv, memcpyRate);
    Report(name, "iconv CP932 -> EUC-JP", sjisIconvCp932, sjisIconv, memcpyRate);
    Report(name, "SjisToEuc", sjisFast, sjisIconv, memcpyRate);
    Report(name, "SjisToEuc, byte-at-a-time walk", sjisScalar, sjisIconv, memcpyRate);
    ReportPaths(name, "SjisToEuc", &kv::text::detail::ConversionPath::sjisToEuc, sjis, out,
                sjisIconv, memcpyRate, runs);
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 200;
    const std::size_t size = std::max<std::size_t>(megabytes, 1) * 1000 * 1000;
    constexpr int kRuns = 5;

    const std::string japanese = JapaneseText(size);
    const std::string log = LogText(size);

    std::string copy(size, '\0');
    const double memcpyRate =
        Measure(size, kRuns, [&] { std::memcpy(copy.data(), japanese.data(), size); });
    std::printf("texts of %zu MB; best of %d runs (iconv and the walks: best of 2)\n", megabytes,
                kRuns);
    std::printf("%-9s %-34s %9.0f MB/s\n", "any", "memcpy", memcpyRate);
    BenchText("japanese", japanese, memcpyRate, kRuns);
    BenchText("log", log, memcpyRate, kRuns);
    return 0;
}
