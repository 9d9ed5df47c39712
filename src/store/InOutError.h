#pragma once

#include <stdexcept>
#include <string>

namespace kv::store {

// A file could not be written: the message names the file and the system's reason.
class EInOutError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace kv::store
