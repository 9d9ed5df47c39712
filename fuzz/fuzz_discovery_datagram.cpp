// Discovery replies are datagrams from anyone on the network: hand arbitrary bytes to the
// reply handler under a fake source address and check that it adds at most one entry, only
// for the exact reply, with the name that a setting text can carry.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "agent/Discovery.h"
#include "store/ServerList.h"

using namespace kv::store;
using namespace kv::agent;
using namespace kv::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // The first byte picks the source, so that listed and new addresses are both tried.
    const std::string source = size > 0 && (data[0] & 1) != 0 ? "127.10.0.1" : "127.168.7.9";
    kv::store::ServerList servers;
    servers.Load("/nonexistent/Server.csv");
    Check(servers.AddDiscovered("127.10.0.1", "listed").has_value());
    const std::size_t before = servers.Count();

    const std::string_view bytes = input.substr(0, kv::agent::Discovery::kMaxReply);
    const auto added = kv::agent::Discovery::HandleReply(bytes, size, source, servers);
    if (!added) {
        Check(servers.Count() == before);
        return 0;
    }
    Check(size <= kv::agent::Discovery::kMaxReply);
    Check(source != "127.10.0.1");
    Check(*added == before && servers.Count() == before + 1);
    const std::string_view text = input.substr(0, input.find('\0'));
    Check(text.starts_with("I am Kestrelview Agent.|"));
    const kv::store::TServerTree& entry = servers.Entry(*added);
    Check(entry.IPAddress == source);
    Check(entry.ServerName == text.substr(24));
    for (const char c : entry.ServerName) {
        Check(static_cast<unsigned char>(c) >= 0x20 && c != '"' && c != 0x7F);
    }
    // The same reply again adds nothing.
    Check(!kv::agent::Discovery::HandleReply(bytes, size, source, servers));
    return 0;
}
