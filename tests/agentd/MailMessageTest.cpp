#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agentd/MailMessage.h"

namespace kv::agentd {
namespace {

TEST(MailMessage, ServerAndRecipientTextsAreTakenOnlyWhenTheyCannotBendTheUrlOrEnvelope) {
    struct Server {
        const char* text;
        std::optional<std::string> host;
        std::uint16_t port;
    };
    for (const Server& c :
         {Server{"mail.example.test", "mail.example.test", 25},
          Server{" 127.0.0.1:2525 ", "127.0.0.1", 2525}, Server{"[::1]:587", "[::1]", 587},
          Server{"[::1]", "[::1]", 25}, Server{"", std::nullopt, 0},
          Server{"host:", std::nullopt, 0}, Server{"host:0", std::nullopt, 0},
          Server{"host:65536", std::nullopt, 0}, Server{"host:25x", std::nullopt, 0},
          Server{"user@host", std::nullopt, 0}, Server{"host/path", std::nullopt, 0},
          Server{"host?x", std::nullopt, 0}, Server{"[::1", std::nullopt, 0},
          Server{"[::1]x", std::nullopt, 0}, Server{"[a@b]", std::nullopt, 0}}) {
        const auto server = ParseSmtpServer(c.text);
        ASSERT_EQ(server.has_value(), c.host.has_value()) << c.text;
        if (server) {
            EXPECT_EQ(server->host, *c.host) << c.text;
            EXPECT_EQ(server->port, c.port) << c.text;
        }
    }

    using List = std::vector<std::string>;
    struct Recipients {
        const char* text;
        std::optional<List> list;
    };
    for (const Recipients& c :
         {Recipients{"a@x", List{"a@x"}}, Recipients{"a@x,b@y;c@z", List{"a@x", "b@y", "c@z"}},
          Recipients{" a@x ; ;, b@y ;", List{"a@x", "b@y"}}, Recipients{"", List{}},
          Recipients{"a@x\r\nDATA", std::nullopt}, Recipients{"<a@x>", std::nullopt},
          Recipients{"a b@x", std::nullopt}, Recipients{"ax", std::nullopt},
          Recipients{"a@@x", std::nullopt}, Recipients{"@x", std::nullopt},
          Recipients{"a@", std::nullopt}, Recipients{"\x83\x40@x", std::nullopt}}) {
        EXPECT_EQ(SplitRecipients(c.text), c.list) << c.text;
    }
}

TEST(MailMessage, HeadersStayAsciiAndShortWhateverTheSubjectHolds) {
    MailParts parts;
    parts.from = "f@x";
    parts.to = {"a@x", "b@x"};
    parts.subject = std::string(40, 'x') + "日本語の件名\r\nBcc: evil@x" + std::string(30, 'y');
    parts.body = "line";
    parts.date = 0;
    parts.messageId = "1@host";
    const std::string message = ComposeMessage(parts);
    const std::string head = message.substr(0, message.find("\r\n\r\n") + 2);
    for (std::size_t at = 0; at < head.size();) {
        const std::size_t end = head.find("\r\n", at);
        const std::string line = head.substr(at, end - at);
        EXPECT_LE(line.size(), 78u) << line;
        EXPECT_EQ(line.find("Bcc:"), std::string::npos) << line;
        for (const char c : line) {
            EXPECT_TRUE(c >= 0x20 && c < 0x7F) << line;
        }
        at = end + 2;
    }
    EXPECT_NE(head.find("To: a@x,\r\n b@x\r\n"), std::string::npos);
    EXPECT_NE(head.find("Content-Type: text/plain; charset=UTF-8\r\n"), std::string::npos);
    EXPECT_TRUE(message.ends_with("\r\nbGluZQ0K\r\n"));  // "line\r\n"
}

TEST(MailMessage, LogLinesOfEveryEncodingBecomeUtf8) {
    struct Case {
        std::string raw;
        std::string utf8;
    };
    for (const Case& c : {Case{"ascii only", "ascii only"},
                          Case{"\xE3\x82\xA8\xE3\x83\xA9\xE3\x83\xBC", "エラー"},  // UTF-8
                          Case{"\xA5\xA8\xA5\xE9\xA1\xBC", "エラー"},              // EUC-JP
                          Case{"\x83\x47\x83\x89\x81\x5B", "エラー"},              // Shift_JIS
                          Case{"a\rb\x01"
                               "c",
                               "a?b?c"},
                          Case{"\xFF\xFE", "\xEF\xBF\xBD\xEF\xBF\xBD"}}) {
        EXPECT_EQ(LogLineToUtf8(c.raw), c.utf8) << c.raw;
    }
}

}  // namespace
}  // namespace kv::agentd
