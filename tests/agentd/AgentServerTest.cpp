#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "AgentTestSupport.h"
#include "agentd/UniqueFd.h"
#include "text/Cp932.h"
#include "text/JapaneseConversion.h"

using namespace kv::text;
using namespace kv::agentd;

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::AgentRunner;
using test::AuthLine;
using test::Get;
using test::Post;

const std::string kAuth = AuthLine("root", "plumtree");

std::string CanonicalLogDir(const AgentRunner& agent) {
    return fs::canonical(agent.LogPath()).string();
}

TEST(AgentServer, EveryEndpointChallengesThenServesTheRightCredentials) {
    AgentRunner agent;
    for (const char* target :
         {"/GetTree.cgi", "/GetWatchSetting.cgi", "/GetFileView.cgi?/x", "/Unknown.cgi"}) {
        const auto reply = Get(agent.Port(), target, "");
        EXPECT_EQ(reply.status, 401) << target;
        EXPECT_EQ(reply.Header("WWW-Authenticate"), "Basic realm=\"Kestrelview Agent\"");
    }
    EXPECT_EQ(Post(agent.Port(), "/PostWatchSetting.cgi", "\"s\"\r\n", "").status, 401);

    const auto tree = Get(agent.Port(), "/GetTree.cgi", kAuth);
    EXPECT_EQ(tree.status, 200);
    EXPECT_TRUE(tree.head.starts_with("HTTP/1.0 200 OK\r\n"));
    EXPECT_EQ(tree.Header("Content-Length"), std::to_string(tree.body.size()));
    EXPECT_EQ(Get(agent.Port(), "/GetTree.cgi", AuthLine("root", "plumtre")).status, 401);
    EXPECT_EQ(Get(agent.Port(), "/GetTree.cgi", AuthLine("admin", "plumtree")).status, 401);
}

TEST(AgentServer, UserAndPasswordComeFromTheOptions) {
    AgentOptions options;
    options.user = "admin";
    options.password = "s3cret";
    AgentRunner agent(options);
    EXPECT_EQ(Get(agent.Port(), "/GetTree.cgi", kAuth).status, 401);
    EXPECT_EQ(Get(agent.Port(), "/GetTree.cgi", AuthLine("admin", "s3cret")).status, 200);
}

TEST(AgentServer, WrongMethodsAndUnknownPathsAreRefusedAfterAuthentication) {
    AgentRunner agent;
    EXPECT_EQ(Get(agent.Port(), "/PostWatchSetting.cgi", kAuth).status, 405);
    const auto post = Post(agent.Port(), "/GetTree.cgi", "", kAuth);
    EXPECT_EQ(post.status, 405);
    EXPECT_EQ(post.Header("Allow"), "GET");
    EXPECT_EQ(Get(agent.Port(), "/gettree.cgi", kAuth).status, 404);
    EXPECT_EQ(Get(agent.Port(), "/", kAuth).status, 404);
}

TEST(AgentServer, TreeIsWalkedOnEveryRequest) {
    AgentRunner agent;
    fs::create_directories(agent.RootPath() + "/var/log");
    std::ofstream(agent.RootPath() + "/var/log/messages") << "m";
    std::ofstream(agent.RootPath() + "/日本語.txt") << "j";
    EXPECT_EQ(Get(agent.Port(), "/GetTree.cgi", kAuth).body,
              "IsDir /\r\n\tIsDir var\r\n\t\tIsDir log\r\n\t\t\tmessages\r\n"
              "\t\x93\xfa\x96\x7b\x8c\xea.txt\r\n");
    fs::create_directories(agent.RootPath() + "/tmp");
    EXPECT_EQ(Get(agent.Port(), "/GetTree.cgi", kAuth).body,
              "IsDir /\r\n\tIsDir tmp\r\n\tIsDir var\r\n\t\tIsDir log\r\n\t\t\tmessages\r\n"
              "\t\x93\xfa\x96\x7b\x8c\xea.txt\r\n");
}

TEST(AgentServer, ACannedTreeFileIsServedByteForByte) {
    test::TempDir canned;
    std::string listing("IsDir /\r\n\tIsDir \x83\x65\x83\x58\x83\x67\r\n\0\xff", 23);
    for (int i = 0; i < 20000; ++i) {
        listing += "\t\tfile" + std::to_string(i) + "\r\n";
    }
    canned.Write("tree.txt", listing);
    AgentOptions options;
    options.treeFile = canned.File("tree.txt");
    AgentRunner agent(options);
    const auto reply = Get(agent.Port(), "/GetTree.cgi", kAuth);
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body.size(), listing.size());
    EXPECT_TRUE(reply.body == listing);
}

TEST(AgentServer, SettingRoundTripKeepsRowsConvertsMailAndNamesTodaysLog) {
    AgentRunner agent;
    const std::string logPath = CanonicalLogDir(agent) + "/20260301.log";
    EXPECT_EQ(Get(agent.Port(), "/GetWatchSetting.cgi", kAuth).body,
              "\"\",\"\",\"\",\"\",\"" + Sjis("監視サーバ1") + "\"\r\n\"" + logPath + "\"\r\n");

    const std::string row =
        "\"/var/log/messages\",\"" + Sjis("エラー") + "\",\"3\",\"a@b\",\"/bin/x\"\r\n";
    const std::string mailTail = "\",\"smtp.example.com\",\"from@example.com\",\"";
    const std::string body = row + "\"" + SjisToEuc(Sjis("件名")) + "\",\"" +
                             SjisToEuc(Sjis("一行目\t二行目")) + mailTail + "Ignored\"\r\n";
    EXPECT_EQ(Post(agent.Port(), "/PostWatchSetting.cgi", body, kAuth).status, 200);

    const std::string expected = row + "\"" + Sjis("件名") + "\",\"" + Sjis("一行目\t二行目") +
                                 mailTail + Sjis("監視サーバ1") + "\"\r\n\"" + logPath + "\"\r\n";
    EXPECT_EQ(Get(agent.Port(), "/GetWatchSetting.cgi", kAuth).body, expected);

    // A body that carries no mail line changes nothing and is not reported as done.
    EXPECT_EQ(Post(agent.Port(), "/PostWatchSetting.cgi", "", kAuth).status, 400);
    EXPECT_EQ(Get(agent.Port(), "/GetWatchSetting.cgi", kAuth).body, expected);
}

TEST(AgentServer, SettingSurvivesARestartWithTheSameStateDirectory) {
    test::TempDir dir;
    fs::create_directories(dir.File("root"));
    AgentOptions options;
    options.port = 0;
    options.root = dir.File("root");
    options.stateDir = dir.File("state");
    options.name = "n";
    const auto clock = [] { return test::LocalNoon(2026, 3, 1); };
    const std::string body = "\"/f\",\"s\",\"1\",\"\",\"\"\r\n\"subject\",\"\",\"\",\"\",\"\"\r\n";
    for (int round = 0; round < 2; ++round) {
        Agent agent(options, clock);
        std::thread runner([&] { agent.Run(); });
        if (round == 0) {
            EXPECT_EQ(Post(agent.Port(), "/PostWatchSetting.cgi", body, kAuth).status, 200);
        } else {
            EXPECT_TRUE(Get(agent.Port(), "/GetWatchSetting.cgi", kAuth)
                            .body.starts_with("\"/f\",\"s\",\"1\",\"\",\"\"\r\n\"subject\""));
        }
        agent.Stop();
        runner.join();
    }
    // Each run leaves its start and its stop in the day's log.
    const std::string log = EucToSjis(dir.Read("state/log/20260301.log"));
    const auto times = [&log](const std::string& text) {
        std::size_t count = 0;
        for (auto at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) {
            ++count;
        }
        return count;
    };
    EXPECT_EQ(times(Sjis("Kestrelviewエージェントを起動しました。")), 2u);
    EXPECT_EQ(times(Sjis("Kestrelviewエージェントを停止しました。")), 2u);
    EXPECT_TRUE(log.ends_with(Sjis("Kestrelviewエージェントを停止しました。") + "\r\n"));
}

TEST(AgentServer, FileViewServesOnlyFilesInsideTheRootAndTheLogDirectory) {
    AgentOptions options;
    options.demo = true;
    AgentRunner agent(options);
    fs::create_directories(agent.RootPath() + "/etc");
    std::ofstream(agent.RootPath() + "/etc/hosts") << "127.0.0.1 localhost\n";
    std::ofstream(agent.RootPath() + "/日本語.txt") << "\xa4\xa2";
    std::ofstream(agent.Dir().File("secret.txt")) << "secret";
    fs::create_symlink(agent.Dir().File("secret.txt"), agent.RootPath() + "/escape");
    fs::create_directory_symlink(agent.Dir().Path(), agent.RootPath() + "/up");

    const auto view = [&](const std::string& path) {
        return Get(agent.Port(), "/GetFileView.cgi?" + path, kAuth);
    };
    EXPECT_EQ(view("/etc/hosts").body, "127.0.0.1 localhost\n");
    EXPECT_EQ(view("/\x93\xfa\x96\x7b\x8c\xea.txt").body, "\xa4\xa2");
    for (const char* refused : {"/../secret.txt", "/etc/../../secret.txt", "/escape",
                                "/up/secret.txt", "/etc", "/", "/nothing", "etc/hosts"}) {
        EXPECT_EQ(view(refused).status, 404) << refused;
    }
    EXPECT_EQ(Get(agent.Port(), "/GetFileView.cgi", kAuth).status, 404);

    const std::string logDir = CanonicalLogDir(agent);
    const auto today = view(logDir + "/20260301.log");
    EXPECT_EQ(today.status, 200);
    EXPECT_NE(EucToSjis(today.body).find(Sjis("エージェントを起動しました")), std::string::npos);
    EXPECT_EQ(view(logDir + "/20260226.log").status, 200);
    EXPECT_EQ(view(logDir + "/20260225.log").status, 404);
}

TEST(AgentServer, EveryRequestIsLoggedInTodaysEucJpLog) {
    AgentRunner agent;
    Get(agent.Port(), "/GetTree.cgi", "");
    Get(agent.Port(), "/GetTree.cgi", kAuth);
    Get(agent.Port(), "/GetFileView.cgi?/" + Sjis("無い.txt"), kAuth);
    test::Exchange(agent.Port(), "NONSENSE\r\n\r\n");
    const std::string log = EucToSjis(agent.Dir().Read("state/log/20260301.log"));
    EXPECT_TRUE(log.starts_with("2026/03/01 12:00:00 " +
                                Sjis("Kestrelviewエージェントを起動しました。") +
                                " listening on 127.0.0.1:" + std::to_string(agent.Port()) + "\r\n"))
        << log;
    EXPECT_NE(log.find(" 127.0.0.1 GET /GetTree.cgi 401\r\n"), std::string::npos);
    EXPECT_NE(log.find(" 127.0.0.1 GET /GetTree.cgi 200\r\n"), std::string::npos);
    EXPECT_NE(log.find(" 127.0.0.1 GET /GetFileView.cgi?/" + Sjis("無い.txt") + " 404\r\n"),
              std::string::npos);
    EXPECT_NE(log.find(" 127.0.0.1 - 400\r\n"), std::string::npos);
}

TEST(AgentServer, DiscoveryAnswersTheExactQuestionOnly) {
    AgentRunner agent;
    const std::string answer = "I am Kestrelview Agent.|" + Sjis("監視サーバ1");
    EXPECT_EQ(test::AskOverUdp(agent.Port(), "Are You Kestrelview Agent?", 5000), answer);
    // The wrong datagrams go first from the same socket; the first answer that comes back
    // must be the one to the right question sent last.
    const std::vector<std::string> asked{"are you kestrelview agent?",
                                         "Are You Kestrelview Agent",
                                         std::string("Are You Kestrelview Agent?\0", 27),
                                         "Are You Kestrelview Agent?\r\n",
                                         "",
                                         "I am Kestrelview Agent.|someone",
                                         "Are You Kestrelview Agent?" + std::string(3000, 'x'),
                                         "Are You Kestrelview Agent?"};
    EXPECT_EQ(test::FirstAnswer(agent.Port(), asked, 5000), answer);
    EXPECT_EQ(test::FirstAnswer(agent.Port(), {asked.begin(), asked.end() - 1}, 300), std::nullopt);
}

TEST(AgentServer, BadRequestsGetAnAnswerAndDoNotStopTheServer) {
    ServerLimits limits;
    limits.idleTimeout = std::chrono::milliseconds(200);
    AgentRunner agent({}, test::LocalNoon(2026, 3, 1), limits);
    const auto status = [&](const std::string& raw) {
        return test::ParseReply(test::Exchange(agent.Port(), raw)).status;
    };
    EXPECT_EQ(status("NONSENSE\r\n\r\n"), 400);
    EXPECT_EQ(status(std::string("\x00\x01\x02\xff\r\n\r\n", 8)), 400);
    EXPECT_EQ(status("GET /" + std::string(20000, 'a') + " HTTP/1.0\r\n\r\n"), 431);
    EXPECT_EQ(status("GET /GetTree.cgi HTTP/1.0\r\n" + std::string(20000, 'h')), 431);
    EXPECT_EQ(status("POST /PostWatchSetting.cgi HTTP/1.0\r\nContent-Length: 2000000\r\n\r\n" +
                     std::string(100000, 'b')),
              413);
    EXPECT_EQ(status("POST /PostWatchSetting.cgi HTTP/1.0\r\n\r\n"), 411);
    EXPECT_EQ(status("GET /GetTree.cgi HTTP/3.0\r\n\r\n"), 505);

    // A client that stops half-way is dropped after the idle time; one that leaves early
    // is simply forgotten.
    EXPECT_EQ(test::Exchange(agent.Port(), "GET /GetTree.cgi HTTP/1.0\r\n"), "");
    {
        UniqueFd socket(::socket(AF_INET, SOCK_STREAM, 0));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(agent.Port());
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(connect(socket.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_GT(send(socket.Get(), "POST /x HTTP/1.0\r\nContent-Le", 28, MSG_NOSIGNAL), 0);
    }
    // Many connections at once are all answered.
    std::vector<std::thread> clients;
    std::vector<int> statuses(40);
    for (std::size_t i = 0; i < statuses.size(); ++i) {
        clients.emplace_back(
            [&, i] { statuses[i] = Get(agent.Port(), "/GetTree.cgi", kAuth).status; });
    }
    for (auto& client : clients) {
        client.join();
    }
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), 200), 40);
    EXPECT_EQ(Get(agent.Port(), "/GetTree.cgi", kAuth).status, 200);
}

}  // namespace
}  // namespace kv

namespace kv {
namespace {

TEST(AgentServer, RepeatedWrongPasswordsAreAnsweredLaterWhileOthersAreServed) {
    AgentRunner agent;
    const std::string wrong = AuthLine("root", "guess");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Get(agent.Port(), "/GetTree.cgi", wrong).status, 401);
    }
    // The fourth guess is held back; a right request meanwhile is answered first, and a
    // request without credentials is not counted as a guess.
    std::atomic<int> order{0};
    int guessDone = 0;
    std::thread guess([&] {
        EXPECT_EQ(Get(agent.Port(), "/GetTree.cgi", wrong).status, 401);
        guessDone = ++order;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(Get(agent.Port(), "/GetTree.cgi", "").status, 401);
    EXPECT_EQ(Get(agent.Port(), "/GetTree.cgi", kAuth).status, 200);
    const int rightDone = ++order;
    guess.join();
    EXPECT_LT(rightDone, guessDone);
    // The right password forgot the guesses: the next wrong one is answered at once.
    EXPECT_EQ(Get(agent.Port(), "/GetTree.cgi", wrong).status, 401);
}

}  // namespace
}  // namespace kv
