#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kv::agentd {

// The byte strings a Shift_JIS search string takes in the logs of a Linux host: itself,
// UTF-8 and EUC-JP, each once (an ASCII string is one string). A form that the string's
// bytes cannot be converted to faithfully is left out.
std::vector<std::string> SearchForms(std::string_view sjis);

}  // namespace kv::agentd
