#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kv::text {

// Shift_JIS (CP932) <-> UTF-8 for display and terminals, through glibc iconv.

// Bytes that are not valid CP932 become U+FFFD; never fails.
std::string Cp932ToUtf8(std::string_view sjis);
// The same into `buffer`, which is kept between calls so that a long stream of pieces needs
// no new memory for each; the view points into it.
std::string_view Cp932ToUtf8(std::string_view sjis, std::string& buffer);
// nullopt when the text holds a character CP932 cannot represent, or is not valid UTF-8.
std::optional<std::string> Utf8ToCp932(std::string_view utf8);

// The Shift_JIS bytes of a literal written in this UTF-8 source, for the system's own
// Japanese texts; throws std::logic_error if the literal cannot be represented.
std::string Sjis(std::string_view utf8Literal);

}  // namespace kv::text
