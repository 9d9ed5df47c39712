#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kv::agentd {

// HTTP Basic authentication with one user name and password for every endpoint.
class BasicAuth {
public:
    BasicAuth(std::string user, std::string password, std::string realm);

    // True when the Authorization header value carries exactly these credentials.
    bool Accepts(const std::string* authorization) const;
    // The value of the WWW-Authenticate header of a 401 reply.
    std::string Challenge() const;

private:
    std::string expected_;
    std::string realm_;
};

// Strict RFC 4648 Base64 with padding; nullopt for anything else.
std::optional<std::string> DecodeBase64(std::string_view text);

}  // namespace kv::agentd
