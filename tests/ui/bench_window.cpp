// Measures the window: start-up to the first painted main window with a 256-server list,
// and the switch between two servers whose settings fill all 128 rows, up to the new rows
// painted. Prints wall time and the thread's CPU time (less disturbed by a busy machine);
// it never fails on a time.

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>

#include "ProcStatus.h"
#include "UiFixture.h"
#include "ui/MainWindow.h"

using namespace kv::app;
using namespace kv::ui;

using namespace kv;
using namespace kv::test;

using namespace kv::bench;

namespace {

constexpr int kServers = 255;  // plus the default setting: 256 entries
constexpr int kSwitches = 200;

double WallMs(const QElapsedTimer& clock) {
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

// Notes the first paint of the watched window.
class FirstPaint : public QObject {
public:
    bool seen = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        seen = seen || event->type() == QEvent::Paint;
        return QObject::eventFilter(watched, event);
    }
};

std::string FullSetting(const std::string& name) {
    std::string text;
    for (int row = 1; row <= 128; ++row) {
        const std::string n = std::to_string(row);
        text += "\"/var/log/" + name + "/app" + n + ".log\",\"ERROR " + n + "\",\"" + n +
                "\",\"ops" + n + "@example.com\",\"/usr/local/bin/notify.sh " + n + "\"\r\n";
    }
    text += "\"subject\",\"line1\tline2\",\"smtp.example.com\",\"kv@example.com\",\"" + name +
            "\"\r\n\"\"\r\n";
    return text;
}

struct Spread {
    double median;
    double p90;
    double max;
};

Spread SpreadOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values[values.size() * 9 / 10], values.back()};
}

}  // namespace

int main(int argc, char** argv) {
    QElapsedTimer clock;
    clock.start();
    const double cpuStart = ThreadCpuMs();
    QApplication app(argc, argv);
    PrepareApplication();

    std::vector<std::string> servers;
    for (int i = 1; i <= kServers; ++i) {
        servers.push_back("host" + std::to_string(i) + ",10.0." + std::to_string(i / 250) + "." +
                          std::to_string(i % 250 + 1));
    }
    UiFixture f(servers);
    FirstPaint paint;
    f.window->installEventFilter(&paint);
    f.window->show();
    while (!paint.seen && clock.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    std::printf("platform %s, %d servers in Server.csv\n",
                qPrintable(QGuiApplication::platformName()), kServers + 1);
    std::printf("start-up to first paint: wall %.1f ms, cpu %.1f ms (goal < 300 ms)\n",
                WallMs(clock), ThreadCpuMs() - cpuStart);

    f.LoadServer(1, FullSetting("alpha"), {"var", "log", "a"});
    f.LoadServer(2, FullSetting("beta"), {"var", "log", "b"});
    const NodeTree::Id nodes[2] = {f.model->ServerNode(1), f.model->ServerNode(2)};
    f.Select(nodes[0]);
    f.window->repaint();
    std::vector<double> wall;
    std::vector<double> cpu;
    for (int i = 0; i < kSwitches; ++i) {
        QElapsedTimer one;
        one.start();
        const double cpuBefore = ThreadCpuMs();
        f.Select(nodes[(i + 1) % 2]);
        f.window->repaint();
        wall.push_back(WallMs(one));
        cpu.push_back(ThreadCpuMs() - cpuBefore);
    }
    const Spread w = SpreadOf(wall);
    const Spread c = SpreadOf(cpu);
    std::printf("server switch, 128 rows each, repainted (%d runs):\n", kSwitches);
    std::printf("  wall median %.2f ms, p90 %.2f ms, max %.2f ms (goal < 20 ms)\n", w.median, w.p90,
                w.max);
    std::printf("  cpu  median %.2f ms, p90 %.2f ms, max %.2f ms\n", c.median, c.p90, c.max);
    return f.model->Grid().Cell(128, 1).empty() ? 1 : 0;
}
