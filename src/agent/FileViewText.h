#pragma once

#include <string>
#include <string_view>

#include "text/BlockConversion.h"

namespace kv::agent {

// The text shown for a remote file or log: the reply's lines (split at CR LF, CR or LF; a NUL
// byte ends the text) each followed by CR LF, the last one too, converted from EUC-JP to
// Shift_JIS as a whole.
std::string PrepareFileViewText(std::string_view reply);

// The same preparation for a reply that arrives in pieces: the bytes appended are exactly
// those of PrepareFileViewText of all the pieces joined, wherever they are cut (a CR LF or
// a two-byte character split between pieces included).
class FileViewTextBuilder {
public:
    void Feed(std::string_view piece, std::string& out);
    void Finish(std::string& out);

private:
    void Normalise(std::string_view piece);

    text::BlockConverter converter_{text::BlockConverter::Direction::EucToSjis};
    std::string lines_;
    bool ended_ = false;
    bool afterCr_ = false;
    bool lineOpen_ = false;
};

}  // namespace kv::agent
