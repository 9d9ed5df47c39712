#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kv::agentd {

struct TreeListing {
    std::string text;         // the GetTree.cgi reply
    std::size_t skipped = 0;  // names left out because the Manager could not take them
};

// Walks the directory `root` (standing for the Agent's "/") depth first and lists it the
// way the Manager reads it: first line "IsDir /", then one line per entry, indented by one
// TAB per level, directories marked "IsDir ", names in Shift_JIS, entries sorted by name,
// lines ending in CR LF. Symbolic links are listed as plain entries and never followed.
// A name is skipped, with what lies below it, when it cannot travel unchanged: not
// convertible to Shift_JIS and back to the same UTF-8 name, holding a control byte,
// beginning with a space, or holding one of the markers "IsDir " and "IsEnd ".
TreeListing BuildTreeListing(const std::string& root);

// The Shift_JIS form of a UTF-8 file name, when the name can be listed (see above).
std::optional<std::string> ListableName(std::string_view utf8Name);

}  // namespace kv::agentd
