#include "agent/HttpUrl.h"

#include <gtest/gtest.h>

using namespace kv::agent;

namespace kv {
namespace {

void ExpectParts(const HttpUrl& url, const std::string& protocol, const std::string& host,
                 const std::string& port, const std::string& path) {
    EXPECT_EQ(url.protocol, protocol);
    EXPECT_EQ(url.host, host);
    EXPECT_EQ(url.port, port);
    EXPECT_EQ(url.path, path);
}

TEST(HttpUrl, SplitsTheAgentUrls) {
    ExpectParts(HttpUrl::Split("http://127.168.1.5:4009/GetTree.cgi"), "http", "127.168.1.5",
                "4009", "/GetTree.cgi");
    ExpectParts(HttpUrl::Split("http://127.10.0.1:4009/GetFileView.cgi?/var/log/a b.log"), "http",
                "127.10.0.1", "4009", "/GetFileView.cgi?/var/log/a b.log");
}

TEST(HttpUrl, FillsInPortAndPath) {
    ExpectParts(HttpUrl::Split("http://host"), "http", "host", "80", "/");
    ExpectParts(HttpUrl::Split("http://host:/x"), "http", "host", "80", "/x");
    ExpectParts(HttpUrl::Split("host:8080/x"), "http", "host", "8080", "/x");
    ExpectParts(HttpUrl::Split("FTP://host/x"), "FTP", "host", "80", "/x");
}

TEST(HttpUrl, KeepsPathBytesAsTheyStand) {
    const std::string path = "/GetFileView.cgi?/home/\x83\x65\x83\x58\x83\x67/a\tb";
    EXPECT_EQ(HttpUrl::Split("http://h:1" + path).path, path);
}

TEST(HttpUrl, RelocatesAbsoluteAndRelativeTargets) {
    const HttpUrl base = HttpUrl::Split("http://h:4009/dir/Get.cgi?a=/b/c");
    ExpectParts(base.Relocated("/new.cgi"), "http", "h", "4009", "/new.cgi");
    ExpectParts(base.Relocated("other.cgi?q"), "http", "h", "4009", "/dir/other.cgi?q");
    ExpectParts(base.Relocated("HTTP://other:81/x"), "HTTP", "other", "81", "/x");
    ExpectParts(base.Relocated("http://other"), "http", "other", "80", "/");
    ExpectParts(base.Relocated("https://other/y"), "https", "other", "80", "/y");
    // A colon counts as a cut like a slash.
    ExpectParts(HttpUrl::Split("http://h/a:b").Relocated("c"), "http", "h", "80", "/a:c");
}

TEST(HttpUrl, ComparesServers) {
    const HttpUrl a = HttpUrl::Split("http://h:1/x");
    EXPECT_TRUE(a.SameServer(HttpUrl::Split("HTTP://h:1/y")));
    EXPECT_FALSE(a.SameServer(HttpUrl::Split("http://h:2/x")));
    EXPECT_FALSE(a.SameServer(HttpUrl::Split("http://H:1/x")));
}

}  // namespace
}  // namespace kv
