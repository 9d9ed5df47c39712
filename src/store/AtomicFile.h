#pragma once

#include <string>
#include <string_view>

namespace kv::store {

// Writes `bytes` to an unnamed temporary file (a named one beside `path` where the file
// system has none), flushes it to disk, and only then names it and renames it
// over `path`. On any failure the old file is left byte for byte as it was, the
// temporary file is removed, and EInOutError is thrown.
void WriteFileAtomically(const std::string& path, std::string_view bytes);

// Reads a whole file into `bytes`; false, and `bytes` untouched, when it cannot be opened.
bool ReadWholeFile(const std::string& path, std::string& bytes);

}  // namespace kv::store
