#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv::agentd {

struct TreeListing {
    std::string text;         // the GetTree.cgi reply
    std::size_t skipped = 0;  // names left out because the Manager could not take them
    bool cut = false;         // a bound was reached; a notice line says where
};

// How much of a large file system one listing takes.
struct TreeBounds {
    std::size_t maxEntries = 100000;
    std::size_t maxDepth = 24;
    std::vector<std::string> excludes;  // directories on disk left out, with their content
};

// Walks the directory `root` (standing for the Agent's "/") depth first and lists it the
// way the Manager reads it: first line "IsDir /", then one line per entry, indented by one
// TAB per level, directories marked "IsDir ", names in Shift_JIS, entries sorted by name,
// lines ending in CR LF. Symbolic links are listed as plain entries and never followed.
// A name is skipped, with what lies below it, when it cannot travel unchanged: not
// convertible to Shift_JIS and back to the same UTF-8 name, holding a control byte,
// beginning with a space, or holding one of the markers "IsDir " and "IsEnd ".
// Past a bound, a notice line ("IsEnd " and a text) stands for what is left out: in place
// of the content of a directory too deep, and after the last entry when the count is full.
TreeListing BuildTreeListing(const std::string& root, const TreeBounds& bounds = {});

// The Shift_JIS form of a UTF-8 file name, when the name can be listed (see above).
std::optional<std::string> ListableName(std::string_view utf8Name);

}  // namespace kv::agentd
