// The window's request port against the stand-in Agent on 127.0.0.1: the shared client
// waits through the event loop, and the four requests come back as the model expects.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "UiFixture.h"
#include "agent/HttpCli.h"
#include "ui/AgentConnection.h"

using namespace kv::agent;
using namespace kv::app;
using namespace kv::ui;
using namespace kv;
using namespace kv::test;

class AgentTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        PrepareApplication();
        const QString bin = qEnvironmentVariable("KV_BIN_DIR");
        const QString program = QDir(bin).filePath(QStringLiteral("kestrelview-agent"));
        if (bin.isEmpty() || !QFile::exists(program)) {
            QSKIP("kestrelview-agent is not built");
        }
        QVERIFY(root_.isValid() && state_.isValid());
        QFile file(root_.filePath(QStringLiteral("hello.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("line one\nline two");
        file.close();
        agent_.setProgram(program);
        agent_.setArguments({QStringLiteral("--listen"), QStringLiteral("127.0.0.1"),
                             QStringLiteral("--port"), QStringLiteral("0"),
                             QStringLiteral("--root"), root_.path(), QStringLiteral("--state-dir"),
                             state_.path(), QStringLiteral("--name"), QStringLiteral("probe")});
        agent_.start();
        QVERIFY(agent_.waitForStarted(5000));
        QVERIFY(agent_.waitForReadyRead(10000));
        const QByteArray line = agent_.readLine().trimmed();
        QVERIFY2(line.startsWith("listening on 127.0.0.1:"), line.constData());
        port_ = line.mid(line.lastIndexOf(':') + 1).toStdString();
    }

    void cleanupTestCase() {
        if (agent_.state() != QProcess::NotRunning) {
            agent_.terminate();
            if (!agent_.waitForFinished(5000)) {
                agent_.kill();
                agent_.waitForFinished(5000);
            }
        }
    }

    void requestsReachTheAgentWhileEventsFlow() {
        AgentConnection agents;
        agents.ApplyConnection("root", "plumtree", port_);
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
        ticker.start(0);

        std::string tree;
        QVERIFY(agents.FetchTree("127.0.0.1", tree));
        QVERIFY(tree.find("hello.txt") != std::string::npos);
        std::string setting;
        QVERIFY(agents.FetchWatchSetting("127.0.0.1", setting));
        QCOMPARE(agents.FetchFileView("127.0.0.1", "/hello.txt"),
                 std::string("line one\nline two"));
        QVERIFY(agents.SendWatchSetting("127.0.0.1", {"\"/var/log/x\",\"e\",\"1\",\"a@b\",\"\"",
                                                      "\"s\",\"b\",\"m\",\"f\",\"probe\""}));
        std::string again;
        QVERIFY(agents.FetchWatchSetting("127.0.0.1", again));
        QVERIFY(again.find("/var/log/x") != std::string::npos);
        // The waits ran the window's event loop: the zero timer kept firing.
        QVERIFY(ticks > 0);
        QVERIFY(agents.Client().State() == HttpState::Ready);
    }

    void refusedCredentialsAndAMissingFileAreFailures() {
        AgentConnection agents;
        agents.ApplyConnection("root", "wrong", port_);
        std::string tree = "kept";
        QVERIFY(!agents.FetchTree("127.0.0.1", tree));
        QCOMPARE(tree, std::string("kept"));

        agents.ApplyConnection("root", "plumtree", port_);
        bool threw = false;
        try {
            agents.FetchFileView("127.0.0.1", "/no/such/file");
        } catch (const std::exception&) {
            threw = true;
        }
        QVERIFY(threw);
    }

private:
    QTemporaryDir root_;
    QTemporaryDir state_;
    QProcess agent_;
    std::string port_;
};

QTEST_MAIN(AgentTest)
#include "tst_agent.moc"
