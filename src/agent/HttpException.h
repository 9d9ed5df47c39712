#pragma once

#include <stdexcept>
#include <string>

namespace kv::agent {

// A failed or refused HTTP request. The message is the client's reason text; the error
// number is the reply status (404 for transport failures) or, for refusals before a
// request starts, the refusal's own number.
class EHttpException : public std::runtime_error {
public:
    EHttpException(const std::string& message, int errorNumber)
        : std::runtime_error(message), errorNumber_(errorNumber) {}

    int ErrorNumber() const { return errorNumber_; }

private:
    int errorNumber_;
};

}  // namespace kv::agent
