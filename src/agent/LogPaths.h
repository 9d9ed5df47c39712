#pragma once

#include <array>
#include <string>
#include <string_view>

namespace kv::agent {

// The four logs behind the log choice box, from the path of the Agent's current log:
// that path itself, then the logs of one, two and three days before it, each named
// yyyymmdd + ".log" in the same directory. The current log's file name must begin with its
// date as yyyymmdd; otherwise throws std::runtime_error naming the path (Shift_JIS text).
std::array<std::string, 4> LogPathList(std::string_view currentLog);

}  // namespace kv::agent
