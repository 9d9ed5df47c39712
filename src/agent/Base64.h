#pragma once

#include <string>
#include <string_view>

namespace kv::agent {

// Base64 with the standard alphabet (A-Z, a-z, 0-9, "+", "/"), padded with "=" to a
// multiple of four characters, without line breaks. Bytes are taken as they are.
std::string Base64Encode(std::string_view bytes);

}  // namespace kv::agent
