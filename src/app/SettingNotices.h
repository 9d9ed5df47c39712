#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kv::app {

// What the user is told when a setting shown in the pages is not the whole of what was read.
// `where` names the source and ends with its particle ("この設定には").

// The source holds `rows` watch rows, more than the grid shows.
std::string RowsBeyondGridNotice(std::string_view where, std::size_t rows);
// Values held characters the setting text cannot carry; they are shown without them.
std::string UncarriableNotice(std::string_view where);

}  // namespace kv::app
