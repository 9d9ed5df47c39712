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

// A request refused before it started because the one shared client is still serving
// another. Not a failure of the server asked: the caller says "busy" and changes nothing.
class EClientBusy : public EHttpException {
public:
    EClientBusy() : EHttpException("client busy", 1) {}
};

}  // namespace kv::agent
