// Measures the file view over a large EUC-JP file (30% Japanese lines): the text converted
// piece by piece as a reply arrives, then from the reply's last byte to the first painted
// screen, the scroll to the end, a find of a string that is absent, and the peak memory
// beyond the idle process against the file's size. Megabytes as the first argument (100 by
// default). It measures; it never fails on a time.

#include <cstdio>
#include <cstdlib>
#include <string>

#include <QApplication>
#include <QElapsedTimer>

#include "ProcStatus.h"
#include "agent/FileViewText.h"
#include "text/TextSearch.h"
#include "ui/FileViewWindow.h"
#include "ui/SjisTextView.h"

using namespace kv::bench;

namespace {

constexpr std::size_t kPiece = 256 * 1024;

double Ms(const QElapsedTimer& clock) {
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

// The reply's pieces as they would arrive, made on the fly so the bench holds no copy.
std::string NextPiece(std::size_t& line) {
    std::string piece;
    piece.reserve(kPiece + 256);
    while (piece.size() < kPiece) {
        if (line % 10 < 3) {
            // "監視ログ" and a message, in EUC-JP
            piece +=
                "2026/12/08 09:00:00 \xB4\xC6\xBB\xEB\xA5\xED\xA5\xB0 \xA4\xA2\xA4\xA4\xA4"
                "\xA6\xA4\xA8\xA4\xAA " +
                std::to_string(line) + "\n";
        } else {
            piece += "2026/12/08 09:00:00 watch /var/log/messages matched line " +
                     std::to_string(line) + " of the agent\n";
        }
        ++line;
    }
    return piece;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const std::size_t size = std::size_t(argc > 1 ? std::atoi(argv[1]) : 100) << 20;
    kv::ui::FileViewWindow* warm =
        new kv::ui::FileViewWindow(QStringLiteral("warm"), "x\r\n", nullptr);
    warm->show();
    QApplication::processEvents();
    delete warm;
    ResetPeak();
    const std::uint64_t idle = ResidentBytes();

    QElapsedTimer clock;
    clock.start();
    kv::agent::FileViewTextBuilder builder;
    std::string text;
    text.reserve(size / 4 * 5 + 4096);
    std::size_t line = 0;
    for (std::size_t fed = 0; fed < size;) {
        const std::string piece = NextPiece(line);
        builder.Feed(piece, text);
        fed += piece.size();
    }
    builder.Finish(text);
    const double convertMs = Ms(clock);
    const std::size_t textBytes = text.size();

    clock.restart();
    auto* window = new kv::ui::FileViewWindow(QStringLiteral("bench"), std::move(text), nullptr);
    window->show();
    window->View()->viewport()->grab();
    const double firstPaintMs = Ms(clock);

    clock.restart();
    window->View()->ScrollToEnd();
    window->View()->viewport()->grab();
    const double endMs = Ms(clock);

    clock.restart();
    kv::text::TextSearch search;
    search.Start(window->View()->Text(), window->View()->Index(), "absent needle", 0, false);
    while (search.Step(std::size_t(16) << 20) == kv::text::TextSearch::Result::Running) {
    }
    const double findMs = Ms(clock);
    const std::uint64_t peak = PeakResidentBytes() - idle;

    std::printf("file view of %zu MB EUC-JP (%zu lines, %zu bytes shown)\n", size >> 20, line,
                textBytes);
    std::printf("conversion as the pieces arrive: %8.1f ms\n", convertMs);
    std::printf("last byte to first painted screen: %8.1f ms (goal under 1000)\n", firstPaintMs);
    std::printf("scroll to the end, painted:        %8.1f ms (goal under 50)\n", endMs);
    std::printf("find of an absent string:          %8.1f ms (goal under 300)\n", findMs);
    std::printf("peak memory beyond idle: %.1f MiB = %.2f x file (goal under 1.5)\n",
                static_cast<double>(peak) / (1 << 20), static_cast<double>(peak) / size);
    delete window;
    return 0;
}
