// The Qt models over the presentation model's structures, checked with Qt's model tester
// while the structures change underneath them.

#include <QAbstractItemModelTester>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>

#include "UiFixture.h"
#include "text/Cp932.h"
#include "ui/ServerTreeModel.h"
#include "ui/WatchGridModel.h"

using namespace kv::text;
using namespace kv::agent;
using namespace kv::ui;
using namespace kv;
using namespace kv::test;

namespace {

constexpr auto kFatal = QAbstractItemModelTester::FailureReportingMode::Fatal;

QStringList Captions(const QAbstractItemModel& model, const QModelIndex& parent = {}) {
    QStringList captions;
    for (int row = 0; row < model.rowCount(parent); ++row) {
        captions << model.index(row, 0, parent).data().toString();
    }
    return captions;
}

// The tree is the model's own here, so the model watches it directly.
ServerTreeModel::ObserveTree Observing(NodeTree& tree) {
    return [&tree](NodeTree::Observer* observer) { tree.SetObserver(observer); };
}

}  // namespace

class ModelsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { PrepareApplication(); }

    void paneModelFollowsAppendsAndRemovals() {
        NodeTree tree;
        ServerTreeModel model(tree, Observing(tree));
        QAbstractItemModelTester tester(&model, kFatal);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

        const NodeTree::Id def = tree.Append(NodeTree::kNone, "DefaultSetting",
                                             Picture::DefaultSetting, Picture::DefaultSetting);
        const NodeTree::Id web = tree.Append(NodeTree::kNone, "127.10.0.1",
                                             Picture::ServerNotLoaded, Picture::ServerNotLoaded);
        const NodeTree::Id root =
            tree.Append(web, "/", Picture::RootDirectory, Picture::RootDirectory);
        const NodeTree::Id etc =
            tree.Append(root, "etc", Picture::Directory, Picture::DirectoryOpen);
        tree.Append(etc, "hosts", Picture::File, Picture::File);
        tree.Append(root, Sjis("日本語"), Picture::File, Picture::File);
        QCOMPARE(inserted.size(), 6);

        QCOMPARE(Captions(model),
                 QStringList({QStringLiteral("DefaultSetting"), QStringLiteral("127.10.0.1")}));
        const QModelIndex rootIndex = model.IndexOf(root);
        QCOMPARE(rootIndex.parent(), model.IndexOf(web));
        QCOMPARE(Captions(model, rootIndex),
                 QStringList({QStringLiteral("etc"), QStringLiteral("日本語")}));
        QCOMPARE(ServerTreeModel::NodeOf(model.index(0, 0, model.IndexOf(etc))),
                 tree.Children(etc).front());

        // Views hear of a removal while the model says it is removing, and only then.
        QList<bool> removingSeen;
        const auto note = [&] { removingSeen << model.Removing(); };
        connect(&model, &QAbstractItemModel::rowsAboutToBeRemoved, this, note);
        connect(&model, &QAbstractItemModel::rowsRemoved, this, note);
        tree.Remove(etc);
        QCOMPARE(removingSeen, QList<bool>({true, true}));
        QVERIFY(!model.Removing());
        QCOMPARE(Captions(model, rootIndex), QStringList({QStringLiteral("日本語")}));
        tree.RemoveChildren(web);
        QCOMPARE(model.rowCount(model.IndexOf(web)), 0);
        tree.Remove(def);
        QCOMPARE(Captions(model), QStringList({QStringLiteral("127.10.0.1")}));
        QCOMPARE(model.IndexOf(web).row(), 0);
        tree.Clear();
        QCOMPARE(model.rowCount(), 0);
        QVERIFY(!model.IndexOf(web).isValid());
    }

    void paneModelTakesABatchOfASubtreeInOneInsertion() {
        NodeTree tree;
        ServerTreeModel model(tree, Observing(tree));
        QAbstractItemModelTester tester(&model, kFatal);
        const NodeTree::Id web = tree.Append(NodeTree::kNone, "127.10.0.1", Picture::ServerLoaded,
                                             Picture::ServerLoaded);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        {
            NodeTree::AppendBatch batch(tree, web, 4);
            const NodeTree::Id root =
                batch.Append(web, "/", Picture::RootDirectory, Picture::RootDirectory, 2);
            const NodeTree::Id var =
                batch.Append(root, "var", Picture::Directory, Picture::DirectoryOpen, 1);
            batch.Append(var, "log", Picture::Directory, Picture::DirectoryOpen);
            batch.Append(root, "tmp", Picture::Directory, Picture::DirectoryOpen);
        }
        QCOMPARE(inserted.size(), 1);
        const QModelIndex root = model.index(0, 0, model.IndexOf(web));
        QCOMPARE(root.data().toString(), QStringLiteral("/"));
        QCOMPARE(Captions(model, root),
                 QStringList({QStringLiteral("var"), QStringLiteral("tmp")}));
        QCOMPARE(model.rowCount(model.index(0, 0, root)), 1);
    }

    void paneModelPicturesAndDragPayload() {
        NodeTree tree;
        ServerTreeModel model(tree, Observing(tree));
        const NodeTree::Id server = tree.Append(NodeTree::kNone, "127.10.0.1",
                                                Picture::ServerNotLoaded, Picture::ServerNotLoaded);
        const NodeTree::Id dir =
            tree.Append(server, "etc", Picture::Directory, Picture::DirectoryOpen);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        tree.SetPictures(server, Picture::ServerLoaded, Picture::ServerLoaded);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.at(0).at(0).value<QModelIndex>(), model.IndexOf(server));

        // A directory shows a closed folder, and an open one while selected.
        const auto icon = model.IndexOf(dir).data(Qt::DecorationRole).value<QIcon>();
        const QImage normal = icon.pixmap(16, 16, QIcon::Normal).toImage();
        const QImage selected = icon.pixmap(16, 16, QIcon::Selected).toImage();
        QCOMPARE(normal, QImage(QStringLiteral(":/pane/3.png")).convertToFormat(normal.format()));
        QCOMPARE(selected,
                 QImage(QStringLiteral(":/pane/4.png")).convertToFormat(selected.format()));

        QVERIFY(model.flags(model.IndexOf(dir)) & Qt::ItemIsDragEnabled);
        std::unique_ptr<QMimeData> data(model.mimeData({model.IndexOf(dir)}));
        QCOMPARE(ServerTreeModel::DraggedNode(data.get()), dir);
        QMimeData stranger;
        stranger.setData(ServerTreeModel::NodeMimeType(), "1 " + QByteArray::number(dir));
        QCOMPARE(ServerTreeModel::DraggedNode(&stranger), NodeTree::kNone);
        QMimeData garbage;
        garbage.setData(ServerTreeModel::NodeMimeType(),
                        QByteArray::number(QCoreApplication::applicationPid()) + " x");
        QCOMPARE(ServerTreeModel::DraggedNode(&garbage), NodeTree::kNone);
    }

    void gridModelOverThePresentationModel() {
        UiFixture f;
        WatchGridModel& model = *new WatchGridModel(*f.model, f.window.get());
        QAbstractItemModelTester tester(&model, kFatal);
        QCOMPARE(model.rowCount(), 128);
        QCOMPARE(model.columnCount(), 6);

        QVERIFY(model.setData(model.index(9, 2), QStringLiteral("警告"), Qt::EditRole));
        QCOMPARE(f.model->Grid().Cell(10, 2), Sjis("警告"));
        QCOMPARE(model.index(9, 2).data().toString(), QStringLiteral("警告"));
        QVERIFY(!model.setData(model.index(9, 0), QStringLiteral("99"), Qt::EditRole));
        QCOMPARE(model.index(9, 0).data().toString(), QStringLiteral("10"));
        QVERIFY(!model.setData(model.index(0, 1), QStringLiteral("한"), Qt::EditRole));
        QCOMPARE(f.model->Grid().Cell(1, 1), std::string());

        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.Refresh();
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.at(0).at(1).value<QModelIndex>(), model.index(127, 5));
    }
};

QTEST_MAIN(ModelsTest)
#include "tst_models.moc"
