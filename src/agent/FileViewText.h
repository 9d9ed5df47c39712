#pragma once

#include <string>
#include <string_view>

namespace kv::agent {

// The text shown for a remote file or log: the reply's lines (split at CR LF, CR or LF; a NUL
// byte ends the text) each followed by CR LF, the last one too, converted from EUC-JP to
// Shift_JIS as a whole.
std::string PrepareFileViewText(std::string_view reply);

}  // namespace kv::agent
