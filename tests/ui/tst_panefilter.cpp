// The find box above the server pane: the filtered model under Qt's model tester while the
// filter and the tree change, the pane's actions on filtered nodes, and the box's keys.

#include <QAbstractItemModelTester>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>

#include "UiFixture.h"
#include "app/AgentFlows.h"
#include "text/Cp932.h"
#include "ui/PaneFilterBox.h"
#include "ui/ServerTreeModel.h"
#include "ui/ServerTreeView.h"

using namespace kv;
using namespace kv::text;
using namespace kv::test;

namespace {

constexpr auto kFatal = QAbstractItemModelTester::FailureReportingMode::Fatal;

// Two loaded servers: /var/log/{messages,syslog} on the first, /etc/ログ.txt on the second.
const std::string kFirstTree =
    "IsDir /\n\tIsDir var\n\t\tIsDir log\n\t\t\tmessages\n\t\t\tsyslog\n";

struct PaneFixture : UiFixture {
    PaneFixture() {
        LoadTree(1, kFirstTree);
        const NodeTree& pane = model->Pane();
        log = pane.Children(pane.Children(pane.Children(model->ServerNode(1))[0])[0])[0];
        messages = pane.Children(log)[0];
        syslog = pane.Children(log)[1];
        japanese = LoadServer(2, "", {"etc", Sjis("ログ.txt")});
        requests.files["127.0.0.2|/var/log/messages"] = "m";
        requests.files["127.0.0.2|/var/log/syslog"] = "s";
        requests.files["127.0.0.3|/etc/" + Sjis("ログ.txt")] = "j";
    }
    ui::PaneFilterBox& Box() { return *window->TreeFilter(); }
    ServerTreeModel& Tree() { return *window->TreeModel(); }
    // Types into the box as a whole and waits for the pane to show the result.
    void Filter(const QString& text) {
        QSignalSpy shown(&Box(), &ui::PaneFilterBox::FilterShown);
        Box().Edit()->setText(text);
        QVERIFY(shown.wait(5000));
    }
    QStringList Shown(const QModelIndex& parent = {}) {
        QStringList lines;
        for (int row = 0; row < Tree().rowCount(parent); ++row) {
            const QModelIndex child = Tree().index(row, 0, parent);
            lines << child.data().toString();
            for (const QString& line : Shown(child)) {
                lines << "  " + line;
            }
        }
        return lines;
    }

    NodeTree::Id messages, log, syslog, japanese;
};

}  // namespace

class PaneFilterTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { PrepareApplication(); }

    void modelStaysSoundWhileTheFilterAndTheTreeChange() {
        PaneFixture f;
        QAbstractItemModelTester tester(&f.Tree(), kFatal);
        f.Filter(QStringLiteral("LOG"));
        QCOMPARE(f.Shown(),
                 QStringList({"127.0.0.2", "  /", "    var", "      log", "        syslog"}));
        QCOMPARE(f.Box().Count()->text(), QStringLiteral("2 件"));
        QVERIFY(f.window->Tree()->isExpanded(f.Tree().IndexOf(f.log)));
        QVERIFY(f.Tree().IndexOf(f.log).data(Qt::FontRole).value<QFont>().bold());
        QVERIFY(!f.Tree().IndexOf(f.log).parent().data(Qt::FontRole).isValid());

        // A keystroke drops the search before it: only the last text counts.
        f.Box().Edit()->setText(QStringLiteral("x"));
        f.Filter(QStringLiteral("log/mess"));
        QCOMPARE(f.Shown(),
                 QStringList({"127.0.0.2", "  /", "    var", "      log", "        messages"}));

        // The tree grows and shrinks under the filter: the search runs again.
        QSignalSpy shown(&f.Box(), &ui::PaneFilterBox::FilterShown);
        f.LoadTree(1, kFirstTree + "\t\t\tmessages.1\n");
        QVERIFY(shown.wait(5000));
        QCOMPARE(f.Shown().size(), 6);
        f.model->DropSubtree(f.model->ServerNode(1));
        QVERIFY(shown.wait(5000));
        QCOMPARE(f.Shown(), QStringList());
        QCOMPARE(f.Box().Count()->text(), QStringLiteral("0 件"));

        f.Box().Edit()->clear();
        QCOMPARE(f.Tree().Filter(), nullptr);
        QCOMPARE(f.Tree().rowCount(), 3);
    }

    void paneActionsGiveTheSamePathsFilteredOrNot() {
        PaneFixture f;
        AgentFlows flows(*f.model);
        flows.Install();
        f.Show();
        ServerTreeView& view = *f.window->Tree();
        // Click a node, drag it and double-click it, as a user does; what each one names.
        const auto act = [&](NodeTree::Id node) {
            const QModelIndex index = f.Tree().IndexOf(node);
            view.scrollTo(index);
            const QPoint at = view.visualRect(index).center();
            QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, at);
            std::unique_ptr<QMimeData> drag(
                f.Tree().mimeData(view.selectionModel()->selectedIndexes()));
            QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, at);
            return QStringList(
                {QString::fromStdString(RemotePath(f.model->Pane(), f.model->SelectedNode())),
                 QString::number(ServerTreeModel::DraggedNode(drag.get())),
                 QString::fromStdString(f.requests.fileRequests.back())});
        };
        const std::vector<std::pair<NodeTree::Id, QString>> cases = {
            {f.messages, QStringLiteral("messages")},
            {f.syslog, QStringLiteral("/log/sys")},
            {f.japanese, QStringLiteral("ログ")},
        };
        for (const auto& [node, filter] : cases) {
            view.expandAll();
            const QStringList full = act(node);
            QCOMPARE(full.at(1), QString::number(node));
            QCOMPARE(full.at(2),
                     QString::fromStdString(
                         f.model->Servers().Entry(node == f.japanese ? 2 : 1).IPAddress) +
                         "|" + full.at(0));
            f.Filter(filter);
            QCOMPARE(act(node), full);
            f.Box().Edit()->clear();
        }
        QCOMPARE(f.requests.fileRequests.size(), 6u);
    }

    void keysOfTheBoxAndClearingGivesThePaneBack() {
        PaneFixture f;
        f.Show();
        ServerTreeView& view = *f.window->Tree();
        view.expand(f.Tree().IndexOf(f.model->ServerNode(1)));
        view.expand(f.Tree().IndexOf(f.model->Pane().Parent(f.japanese)));
        const std::vector<NodeTree::Id> expanded = view.ExpandedNodes();
        f.Select(f.model->ServerNode(2));

        const std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>> shortcuts = {
            {Qt::Key_L, Qt::ControlModifier}, {Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier}};
        for (const auto& [key, modifiers] : shortcuts) {
            view.setFocus();
            QTest::keyClick(f.window.get(), key, modifiers);
            QVERIFY(f.Box().Edit()->hasFocus());
        }
        QSignalSpy shown(&f.Box(), &ui::PaneFilterBox::FilterShown);
        QTest::keyClicks(f.Box().Edit(), QStringLiteral("s"));
        QVERIFY(shown.wait(5000));
        // The selected server stays in view although it does not match.
        QVERIFY(f.Tree().IndexOf(f.model->ServerNode(2)).isValid());
        QCOMPARE(f.Box().Count()->text(), QStringLiteral("3 件"));
        // Enter walks the matches in pane order from the selection, round to the first.
        for (NodeTree::Id next :
             {f.model->ServerNode(0), f.messages, f.syslog, f.model->ServerNode(0), f.messages}) {
            QTest::keyClick(f.Box().Edit(), Qt::Key_Return);
            QCOMPARE(f.model->SelectedNode(), next);
        }

        QTest::keyClick(f.Box().Edit(), Qt::Key_Escape);
        QVERIFY(f.Box().Edit()->text().isEmpty());
        QCOMPARE(f.Tree().Filter(), nullptr);
        // The pane as it was, and the match chosen in it shown.
        std::vector<NodeTree::Id> now = view.ExpandedNodes();
        for (NodeTree::Id node : expanded) {
            QVERIFY(std::find(now.begin(), now.end(), node) != now.end());
        }
        QCOMPARE(view.currentIndex(), f.Tree().IndexOf(f.messages));
        QVERIFY(view.isExpanded(f.Tree().IndexOf(f.log)));
        QTest::keyClick(f.Box().Edit(), Qt::Key_Escape);
        QVERIFY(view.hasFocus());
    }
};

QTEST_MAIN(PaneFilterTest)
#include "tst_panefilter.moc"
