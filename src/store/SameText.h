#pragma once

#include <string_view>

namespace kv::store {

// Case-insensitive equality of two Shift_JIS texts: ASCII letters fold, while the second
// byte of a double-byte character is compared exactly (it may look like an ASCII letter).
bool SameText(std::string_view a, std::string_view b);

}  // namespace kv::store
