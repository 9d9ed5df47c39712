#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "cli/Terminal.h"

namespace kv::cli {

// A Shift_JIS text printed while it is still being produced, piece by piece. Each piece goes
// out at once, up to its last byte that cannot be the second byte of a character; the rest
// waits for the next piece, so no character is torn in two on its way to UTF-8. The
// conversion to UTF-8 and the writing run on a thread of their own, beside the producer (a
// download): a failure to write (the reader gone) comes back from the next Print or Finish.
class SjisOutput {
public:
    explicit SjisOutput(Terminal& terminal) : terminal_(terminal) {}
    // Prints what was handed over and not yet printed.
    ~SjisOutput();
    SjisOutput(const SjisOutput&) = delete;
    SjisOutput& operator=(const SjisOutput&) = delete;

    void Print(std::string_view piece);
    void Finish();

private:
    void Enqueue();
    void PrintQueued();
    void StopPrinter();

    Terminal& terminal_;
    std::string held_;
    std::string batch_;  // text gathered for the printer, handed over in large pieces
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> queue_;
    std::vector<std::string> spare_;  // printed pieces, whose memory the next batches reuse
    bool ending_ = false;
    std::exception_ptr failure_;
    std::thread printer_;
};

}  // namespace kv::cli
