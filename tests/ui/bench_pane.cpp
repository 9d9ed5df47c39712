// Measures the server pane over a 1,000,000-entry tree reply: fetch and show, expand all
// ('*' on the server node), collapse, a find for a rare name and for a common one typed key
// by key, clearing the find, and closing the window. Prints wall times, the longest stall of
// the event loop while typing, and the memory above the idle window; never fails on a time.

#include <algorithm>
#include <cstdio>
#include <string>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include "ProcStatus.h"
#include "TreeListingMaker.h"
#include "UiFixture.h"
#include "app/AgentFlows.h"
#include "ui/MainWindow.h"
#include "ui/PaneFilterBox.h"
#include "ui/ServerTreeModel.h"
#include "ui/ServerTreeView.h"

using namespace kv;
using namespace kv::app;
using namespace kv::test;
using namespace kv::bench;

namespace {

constexpr std::size_t kEntries = 1000000;
constexpr int kKeyGapMs = 40;

double Ms(const QElapsedTimer& clock) {
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

// The longest gap between two turns of the event loop while it runs, in wall and CPU time.
class StallMeter : public QObject {
public:
    StallMeter() {
        timer_.setInterval(0);
        connect(&timer_, &QTimer::timeout, this, [this] {
            worstWall_ = std::max(worstWall_, Ms(gap_));
            worstCpu_ = std::max(worstCpu_, ThreadCpuMs() - cpuAtTurn_);
            gap_.restart();
            cpuAtTurn_ = ThreadCpuMs();
        });
    }
    void Start() {
        gap_.start();
        cpuAtTurn_ = ThreadCpuMs();
        timer_.start();
    }
    void Stop() { timer_.stop(); }
    double WorstWall() const { return worstWall_; }
    double WorstCpu() const { return worstCpu_; }

private:
    QTimer timer_;
    QElapsedTimer gap_;
    double cpuAtTurn_ = 0;
    double worstWall_ = 0;
    double worstCpu_ = 0;
};

// A numbered name (such names are rare in the listing) from about the middle of it.
std::string RareName(const std::string& listing) {
    for (std::size_t at = listing.find('\n', listing.size() / 2) + 1; at < listing.size();
         at = listing.find('\n', at) + 1) {
        const std::size_t start = listing.find_first_not_of("\t ", at);
        std::string name = listing.substr(start, listing.find_first_of("\t\n", start) - start);
        if (name.find('-') != std::string::npos && name.find(' ') == std::string::npos) {
            return name;
        }
    }
    return "messages";
}

void Settle(QWidget& window) {
    QCoreApplication::processEvents();
    window.repaint();
}

class Bench {
public:
    Bench() : f_({"files,127.0.0.2"}), flows_(*f_.model) { flows_.Install(); }

    // `quick`: fetch, expand all and close only.
    void Run(bool quick) {
        const std::string listing = bench::MakeListing(kEntries);
        const std::string rare = RareName(listing);
        f_.requests.trees["127.0.0.2"] = listing;
        f_.requests.settings["127.0.0.2"] = "";
        f_.window->resize(1000, 700);
        f_.window->show();
        if (!QTest::qWaitForWindowExposed(f_.window.get())) {
            std::printf("the window was not shown\n");
        }
        Settle(*f_.window);
        idleKb_ = StatusField("VmRSS");
        ResetPeak();
        std::printf("platform %s, %zu entries\n", qPrintable(QGuiApplication::platformName()),
                    kEntries);

        const NodeTree::Id server = f_.model->ServerNode(1);
        f_.Select(server);
        Time("fetch and show", [&] {
            f_.model->DoubleClickNode();
            Settle(*f_.window);
        });
        std::printf("  nodes in the pane: %zu\n", f_.model->Pane().Size());
        Memory("shown, collapsed");
        ServerTreeView& tree = *f_.window->Tree();
        tree.setFocus();
        Time("expand all ('*')", [&] {
            QTest::keyClick(&tree, Qt::Key_Asterisk);
            Settle(*f_.window);
        });
        Memory("expanded");
        std::printf("  rows the pane scrolls over: %d\n",
                    tree.verticalScrollBar()->maximum() + tree.verticalScrollBar()->pageStep());
        Time("collapse", [&] {
            QTest::keyClick(&tree, Qt::Key_Left);
            Settle(*f_.window);
        });
        QTest::keyClick(&tree, Qt::Key_Asterisk);
        Settle(*f_.window);
        if (quick) {
            Close();
            return;
        }

        Find(rare.c_str());
        Memory("found rare");
        Find("log");
        Memory("found common");
        ui::PaneFilterBox& box = *f_.window->TreeFilter();
        Time("clear (Esc), expansion given back", [&] {
            QTest::keyClick(box.Edit(), Qt::Key_Escape);
            Settle(*f_.window);
        });
        Memory("cleared");
        ResetPeak();
        Time("reload the server, expanded", [&] {
            f_.model->Execute(app::CommandId::TreeFetch);
            Settle(*f_.window);
        });
        Memory("reloaded");
        QTest::keyClick(&tree, Qt::Key_Asterisk);
        Settle(*f_.window);
        Close();
    }

private:
    void Close() {
        Time("close of the expanded window", [&] {
            f_.window->hide();
            f_.window.reset();
            f_.model.reset();
        });
        std::printf("peak memory above the idle window since the last mark: %.1f MB\n",
                    (StatusField("VmHWM") - idleKb_) / 1e3);
    }

    template <typename Step>
    void Time(const char* what, Step step) {
        QElapsedTimer clock;
        clock.start();
        const double cpu = ThreadCpuMs();
        step();
        std::printf("%-36s %8.1f ms  (cpu %.1f ms)\n", what, Ms(clock), ThreadCpuMs() - cpu);
    }

    void Memory(const char* when) {
        std::printf("  memory above idle, %-16s %7.1f MB (peak so far %.1f MB)\n", when,
                    (StatusField("VmRSS") - idleKb_) / 1e3, (StatusField("VmHWM") - idleKb_) / 1e3);
    }

    // Types `text` over the find box's text key by key, as a quick typist does, and waits for
    // the result of the last keystroke.
    void Find(const char* text) {
        ui::PaneFilterBox& box = *f_.window->TreeFilter();
        box.Focus();
        bool shown = false;
        const auto connection =
            QObject::connect(&box, &ui::PaneFilterBox::FilterShown, [&] { shown = true; });
        StallMeter stalls;
        stalls.Start();
        QElapsedTimer clock;
        for (const char* c = text; *c; ++c) {
            shown = false;
            QTest::keyClick(box.Edit(), *c);
            clock.start();
            QTest::qWait(c[1] ? kKeyGapMs : 0);
        }
        while (!shown && clock.elapsed() < 30000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        f_.window->repaint();
        const double last = Ms(clock);
        stalls.Stop();
        QObject::disconnect(connection);
        std::printf("find \"%s\": %s, shown %.1f ms after the last key (goal < 300 ms)\n", text,
                    qPrintable(box.Count()->text()), last);
        std::printf(
            "  longest stall while typing and searching: %.1f ms, cpu %.1f ms (goal < 100 ms)\n",
            stalls.WorstWall(), stalls.WorstCpu());
    }

    UiFixture f_;
    AgentFlows flows_;
    long idleKb_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    PrepareApplication();
    Bench bench;
    bench.Run(argc > 1 && std::strcmp(argv[1], "quick") == 0);
    return 0;
}
