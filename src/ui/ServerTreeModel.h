#pragma once

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include <QAbstractItemModel>
#include <QIcon>

#include "agent/NodeTree.h"
#include "agent/PaneFilter.h"

namespace kv::ui {

// The server pane as a Qt model: a thin adapter over the presentation model's node tree.
// Indexes carry node ids; no item object exists per node. The tree reports appends after
// the fact, so while an insertion is announced the parent's new rows are kept out of
// rowCount. With a filter set, the model shows only the filter's nodes under the same ids,
// so everything done with an index means the same node filtered or not.
class ServerTreeModel : public QAbstractItemModel, private agent::NodeTree::Observer {
    Q_OBJECT

public:
    static constexpr int kPictureCount = 8;
    // Drag payload: the process id and the dragged node's id, so that only a drag that
    // started in this process's pane is taken for one.
    static const QString& NodeMimeType();
    // The node a drag payload names when it comes from this process's pane, else kNone.
    static agent::NodeTree::Id DraggedNode(const QMimeData* data);

    // `observe` registers the model as the tree's observer (nullptr: no longer); the tree
    // changes only through its owner, which tells the model through that.
    using ObserveTree = std::function<void(agent::NodeTree::Observer*)>;
    ServerTreeModel(const agent::NodeTree& tree, ObserveTree observe, QObject* parent = nullptr);
    ~ServerTreeModel() override;

    // True from just before views hear of a removal until they have heard its end. Views
    // move their current row by themselves meanwhile, halfway through the tree's change.
    bool Removing() const { return removing_; }

    // Shows only what `filter` shows (null: the whole tree again), as one model reset.
    void SetFilter(std::unique_ptr<const agent::PaneFilter> filter);
    const agent::PaneFilter* Filter() const { return filter_.get(); }

    // Invalidates every persistent index in one pass, without telling views: for a view that
    // is going away, whose expanded indexes would otherwise leave Qt's books one by one.
    void DropPersistentIndexes();

    // The children of `parent` that have children of their own, in row order: for a walk over
    // a large tree that needs only its branches.
    std::vector<QModelIndex> Branches(const QModelIndex& parent) const;

    // The index of a node; invalid when the node is gone or the filter hides it.
    QModelIndex IndexOf(agent::NodeTree::Id node) const;
    static agent::NodeTree::Id NodeOf(const QModelIndex& index);
    // The icon of a picture, with `selected` as its picture in the selected state.
    QIcon Icon(agent::Picture picture, agent::Picture selected) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;

signals:
    // The tree's structure changed: a filter built before no longer covers it.
    void TreeChanged();

private:
    void RowsAppended(agent::NodeTree::Id parent, std::size_t first, std::size_t count) override;
    void RowsAboutToBeRemoved(agent::NodeTree::Id parent, std::size_t first,
                              std::size_t count) override;
    void RowsRemoved() override;
    void PicturesChanged(agent::NodeTree::Id node) override;
    QModelIndex IndexOfParent(agent::NodeTree::Id parent) const;
    QModelIndex MakeIndex(std::size_t row, agent::NodeTree::Id node) const;
    // The node's children as the model shows them: the filter's, or the tree's.
    agent::NodeTree::Id ChildAt(agent::NodeTree::Id node, std::size_t row) const;
    std::size_t ShownChildCount(agent::NodeTree::Id node) const;

    const agent::NodeTree& tree_;
    ObserveTree observe_;
    std::unique_ptr<const agent::PaneFilter> filter_;
    std::array<QPixmap, kPictureCount> pixmaps_;
    mutable std::array<QIcon, kPictureCount * kPictureCount> icons_;
    // While an append is announced, the last `hiddenCount_` children of `hiddenParent_`
    // exist in the tree but not yet for the views.
    bool removing_ = false;
    bool hiding_ = false;
    agent::NodeTree::Id hiddenParent_ = agent::NodeTree::kNone;
    std::size_t hiddenCount_ = 0;
};

}  // namespace kv::ui
