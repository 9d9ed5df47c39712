#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

// Text of a viewed file or log as shown: lines (split at CR LF, CR or LF; a NUL ends the
// text) joined with CR LF after each, converted from EUC-JP to Shift_JIS.
std::string PrepareViewText(std::string_view bytes);

// The current log and the logs of the three days before, in the same directory, named
// yyyymmdd.log; nullopt when the file name does not begin with a valid date.
std::optional<std::array<std::string, 4>> LogPathList(std::string_view currentLog);

}  // namespace kv
