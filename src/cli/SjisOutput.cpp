#include "cli/SjisOutput.h"

#include <utility>

namespace kv::cli {

namespace {

// Second bytes of Shift_JIS characters are 0x40 and above; a byte below ends a character.
// A piece this long without one goes out as it is.
constexpr std::size_t kMaxHeld = 1 << 20;
// What the printer is handed at a time, and how many such pieces may wait for it.
constexpr std::size_t kBatchBytes = 256 * 1024;
constexpr std::size_t kQueued = 8;

bool EndsACharacter(char c) {
    return static_cast<unsigned char>(c) < 0x40;
}

}  // namespace

SjisOutput::~SjisOutput() {
    try {
        if (!batch_.empty()) {
            Enqueue();
        }
    } catch (...) {
        // The reader is gone: nothing more can be printed.
    }
    StopPrinter();
}

void SjisOutput::Print(std::string_view piece) {
    if (terminal_.Raw()) {
        terminal_.Write(piece);
        return;
    }
    std::size_t cut = piece.size();
    while (cut > 0 && !EndsACharacter(piece[cut - 1])) {
        --cut;
    }
    if (cut == 0 && held_.size() + piece.size() < kMaxHeld) {
        held_.append(piece);
        return;
    }
    if (cut == 0) {
        cut = piece.size();
    }
    // Handed over only here, where the text ends a character.
    batch_.append(held_);
    held_.clear();
    batch_.append(piece.substr(0, cut));
    held_.append(piece.substr(cut));
    if (batch_.size() >= kBatchBytes) {
        Enqueue();
    }
}

void SjisOutput::Finish() {
    batch_.append(held_);
    held_.clear();
    if (!batch_.empty()) {
        Enqueue();
    }
    StopPrinter();
    if (failure_) {
        std::rethrow_exception(failure_);
    }
}

void SjisOutput::Enqueue() {
    if (!printer_.joinable()) {
        printer_ = std::thread([this] { PrintQueued(); });
    }
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_.size() < kQueued || failure_; });
    if (failure_) {
        std::rethrow_exception(failure_);
    }
    queue_.push_back(std::move(batch_));
    batch_.clear();
    if (!spare_.empty()) {
        batch_ = std::move(spare_.back());
        spare_.pop_back();
    }
    changed_.notify_all();
}

void SjisOutput::PrintQueued() {
    for (;;) {
        std::string piece;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return !queue_.empty() || ending_; });
            if (queue_.empty()) {
                return;
            }
            piece = std::move(queue_.front());
            queue_.pop_front();
            changed_.notify_all();
        }
        try {
            terminal_.Print(piece);
        } catch (...) {
            std::lock_guard lock(mutex_);
            failure_ = std::current_exception();
            queue_.clear();
            changed_.notify_all();
            return;
        }
        piece.clear();
        std::lock_guard lock(mutex_);
        if (spare_.size() < kQueued) {
            spare_.push_back(std::move(piece));
        }
    }
}

void SjisOutput::StopPrinter() {
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
        changed_.notify_all();
    }
    if (printer_.joinable()) {
        printer_.join();
    }
}

}  // namespace kv::cli
