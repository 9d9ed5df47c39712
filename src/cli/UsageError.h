#pragma once

#include <stdexcept>

namespace kv::cli {

// The command line itself is wrong (unknown command or option, a missing or surplus
// argument, a value out of range): exit status 2. The text is the program's own, in UTF-8.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace kv::cli
