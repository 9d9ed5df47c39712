#pragma once

#include <string>
#include <string_view>

#include "cli/Terminal.h"

namespace kv::cli {

// A Shift_JIS text printed while it is still being produced, piece by piece. Each piece goes
// out at once, up to its last byte that cannot be the second byte of a character; the rest
// waits for the next piece, so no character is torn in two on its way to UTF-8.
class SjisOutput {
public:
    explicit SjisOutput(Terminal& terminal) : terminal_(terminal) {}

    void Print(std::string_view piece);
    void Finish();

private:
    Terminal& terminal_;
    std::string held_;
};

}  // namespace kv::cli
