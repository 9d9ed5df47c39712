#include "cli/SjisOutput.h"

namespace kv::cli {

namespace {

// Second bytes of Shift_JIS characters are 0x40 and above; a byte below ends a character.
// A piece this long without one goes out as it is.
constexpr std::size_t kMaxHeld = 1 << 20;

bool EndsACharacter(char c) {
    return static_cast<unsigned char>(c) < 0x40;
}

}  // namespace

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
    if (held_.empty()) {
        terminal_.Print(piece.substr(0, cut));
    } else {
        held_.append(piece.substr(0, cut));
        terminal_.Print(held_);
        held_.clear();
    }
    held_.append(piece.substr(cut));
}

void SjisOutput::Finish() {
    if (!held_.empty()) {
        terminal_.Print(held_);
        held_.clear();
    }
}

}  // namespace kv::cli
