#include "agentd/HttpResponse.h"

#include <array>

namespace kv::agentd {
namespace {

struct Reason {
    int status;
    std::string_view text;
};

constexpr std::array kReasons{
    Reason{200, "OK"},
    Reason{400, "Bad Request"},
    Reason{401, "Unauthorized"},
    Reason{404, "Not Found"},
    Reason{405, "Method Not Allowed"},
    Reason{411, "Length Required"},
    Reason{413, "Payload Too Large"},
    Reason{431, "Request Header Fields Too Large"},
    Reason{500, "Internal Server Error"},
    Reason{501, "Not Implemented"},
    Reason{505, "HTTP Version Not Supported"},
};

}  // namespace

std::string_view ReasonPhrase(int status) {
    for (const auto& reason : kReasons) {
        if (reason.status == status) {
            return reason.text;
        }
    }
    return "Unknown";
}

HttpResponse HttpResponse::Text(int status, std::string body) {
    HttpResponse response;
    response.status = status;
    response.body = std::move(body);
    return response;
}

HttpResponse HttpResponse::Status(int status) {
    return Text(status, std::to_string(status) + " " + std::string(ReasonPhrase(status)) + "\r\n");
}

std::string HttpResponse::HeaderBlock() const {
    std::string block = "HTTP/1.0 " + std::to_string(status) + " " +
                        std::string(ReasonPhrase(status)) + "\r\n" +
                        "Server: kestrelview-agent\r\n"
                        "Content-Type: text/plain\r\n";
    for (const auto& [name, value] : headers) {
        block += name + ": " + value + "\r\n";
    }
    block += "Content-Length: " + std::to_string(BodySize()) + "\r\n";
    block += "Connection: close\r\n\r\n";
    return block;
}

}  // namespace kv::agentd
