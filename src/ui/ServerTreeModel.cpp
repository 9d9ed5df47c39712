#include "ui/ServerTreeModel.h"

#include <utility>

#include <QCoreApplication>
#include <QFont>
#include <QMimeData>
#include <QSignalBlocker>

#include "ui/SjisText.h"

namespace kv::ui {

namespace {

// Qt's index bookkeeping hashes internal ids with little mixing and takes buckets from the
// low bits, so node ids used as they are collide and a fully expanded tree of a million
// nodes tears down in seconds. Ids travel multiplied by an odd constant, with the high half
// of the product folded into the low one so that every bit of the id reaches the low bits;
// both steps are undone on the way back.
constexpr std::uint64_t kSpread = 0x9E3779B97F4A7C15ULL;

constexpr std::uint64_t InverseOf(std::uint64_t odd) {
    std::uint64_t inverse = odd;  // right in the lowest 3 bits; each step doubles that
    for (int i = 0; i < 5; ++i) {
        inverse *= 2 - odd * inverse;
    }
    return inverse;
}
constexpr std::uint64_t kUnspread = InverseOf(kSpread);
static_assert(kSpread * kUnspread == 1);

constexpr quintptr Spread(agent::NodeTree::Id node) {
    const std::uint64_t product = node * kSpread;
    return static_cast<quintptr>(product ^ (product >> 32));
}

constexpr agent::NodeTree::Id Unspread(quintptr id) {
    const std::uint64_t product = id ^ (static_cast<std::uint64_t>(id) >> 32);
    return static_cast<agent::NodeTree::Id>(product * kUnspread);
}
static_assert(Unspread(Spread(0)) == 0 && Unspread(Spread(12345)) == 12345 &&
              Unspread(Spread(agent::NodeTree::kNone - 1)) == agent::NodeTree::kNone - 1);

}  // namespace

const QString& ServerTreeModel::NodeMimeType() {
    static const QString type = QStringLiteral("application/x-kestrelview-node");
    return type;
}

agent::NodeTree::Id ServerTreeModel::DraggedNode(const QMimeData* data) {
    if (!data || !data->hasFormat(NodeMimeType())) {
        return agent::NodeTree::kNone;
    }
    const QList<QByteArray> parts = data->data(NodeMimeType()).split(' ');
    bool pidOk = false;
    bool nodeOk = false;
    if (parts.size() != 2 || parts[0].toLongLong(&pidOk) != QCoreApplication::applicationPid() ||
        !pidOk) {
        return agent::NodeTree::kNone;
    }
    const agent::NodeTree::Id node = parts[1].toUInt(&nodeOk);
    return nodeOk ? node : agent::NodeTree::kNone;
}

ServerTreeModel::ServerTreeModel(const agent::NodeTree& tree, ObserveTree observe, QObject* parent)
    : QAbstractItemModel(parent), tree_(tree), observe_(std::move(observe)) {
    for (int i = 0; i < kPictureCount; ++i) {
        pixmaps_[static_cast<std::size_t>(i)] = QPixmap(QStringLiteral(":/pane/%1.png").arg(i));
    }
    observe_(this);
}

ServerTreeModel::~ServerTreeModel() {
    observe_(nullptr);
}

QIcon ServerTreeModel::Icon(agent::Picture picture, agent::Picture selected) const {
    const auto normal = static_cast<std::size_t>(picture) % kPictureCount;
    const auto chosen = static_cast<std::size_t>(selected) % kPictureCount;
    QIcon& icon = icons_[normal * kPictureCount + chosen];
    if (icon.isNull()) {
        icon.addPixmap(pixmaps_[normal], QIcon::Normal);
        icon.addPixmap(pixmaps_[chosen], QIcon::Selected);
    }
    return icon;
}

void ServerTreeModel::SetFilter(std::unique_ptr<const agent::PaneFilter> filter) {
    beginResetModel();
    filter_ = std::move(filter);
    endResetModel();
}

void ServerTreeModel::DropPersistentIndexes() {
    const QSignalBlocker quiet(this);
    beginResetModel();
    endResetModel();
}

QModelIndex ServerTreeModel::MakeIndex(std::size_t row, agent::NodeTree::Id node) const {
    return createIndex(static_cast<int>(row), 0, Spread(node));
}

QModelIndex ServerTreeModel::IndexOf(agent::NodeTree::Id node) const {
    if (node == agent::NodeTree::kNone || !tree_.IsAlive(node)) {
        return {};
    }
    if (filter_) {
        return filter_->Visible(node) ? MakeIndex(filter_->Row(node), node) : QModelIndex();
    }
    return MakeIndex(tree_.Row(node), node);
}

agent::NodeTree::Id ServerTreeModel::NodeOf(const QModelIndex& index) {
    return index.isValid() ? Unspread(index.internalId()) : agent::NodeTree::kNone;
}

std::vector<QModelIndex> ServerTreeModel::Branches(const QModelIndex& parent) const {
    // Straight from the nodes: an index for every file of a large tree would cost the most.
    std::vector<QModelIndex> branches;
    const agent::NodeTree::Id node = NodeOf(parent);
    const auto rows = static_cast<std::size_t>(rowCount(parent));
    for (std::size_t row = 0; row < rows; ++row) {
        const agent::NodeTree::Id child = ChildAt(node, row);
        if (ShownChildCount(child) > 0) {
            branches.push_back(MakeIndex(row, child));
        }
    }
    return branches;
}

agent::NodeTree::Id ServerTreeModel::ChildAt(agent::NodeTree::Id node, std::size_t row) const {
    return filter_ ? filter_->Child(node, row) : tree_.Children(node)[row];
}

std::size_t ServerTreeModel::ShownChildCount(agent::NodeTree::Id node) const {
    if (filter_) {
        return filter_->ChildCount(node);
    }
    const std::size_t count = tree_.ChildCount(node);
    return hiding_ && node == hiddenParent_ ? count - hiddenCount_ : count;
}

QModelIndex ServerTreeModel::IndexOfParent(agent::NodeTree::Id parent) const {
    return IndexOf(parent);
}

QModelIndex ServerTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (!hasIndex(row, column, parent)) {
        return {};
    }
    const agent::NodeTree::Id node = NodeOf(parent);
    const auto at = static_cast<std::size_t>(row);
    return MakeIndex(at, ChildAt(node, at));
}

QModelIndex ServerTreeModel::parent(const QModelIndex& child) const {
    const agent::NodeTree::Id node = NodeOf(child);
    if (node == agent::NodeTree::kNone) {
        return {};
    }
    return IndexOf(tree_.Parent(node));
}

int ServerTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0) {
        return 0;
    }
    return static_cast<int>(ShownChildCount(NodeOf(parent)));
}

int ServerTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

bool ServerTreeModel::hasChildren(const QModelIndex& parent) const {
    return rowCount(parent) > 0;
}

QVariant ServerTreeModel::data(const QModelIndex& index, int role) const {
    const agent::NodeTree::Id node = NodeOf(index);
    if (node == agent::NodeTree::kNone) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return FromSjis(tree_.Caption(node));
        case Qt::FontRole:
            // Matches stand out from the ancestors shown only to place them.
            if (filter_ && filter_->IsMatch(node)) {
                QFont bold;
                bold.setBold(true);
                return bold;
            }
            return {};
        case Qt::DecorationRole:
            return Icon(tree_.PictureOf(node), tree_.SelectedPictureOf(node));
        default:
            return {};
    }
}

Qt::ItemFlags ServerTreeModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

QStringList ServerTreeModel::mimeTypes() const {
    return {NodeMimeType()};
}

QMimeData* ServerTreeModel::mimeData(const QModelIndexList& indexes) const {
    if (indexes.isEmpty()) {
        return nullptr;
    }
    auto* data = new QMimeData;
    data->setData(NodeMimeType(), QByteArray::number(QCoreApplication::applicationPid()) + ' ' +
                                      QByteArray::number(NodeOf(indexes.first())));
    return data;
}

Qt::DropActions ServerTreeModel::supportedDragActions() const {
    return Qt::CopyAction;
}

void ServerTreeModel::RowsAppended(agent::NodeTree::Id parent, std::size_t first,
                                   std::size_t count) {
    if (count == 0) {
        return;
    }
    if (filter_) {
        // The filtered view shows no node newer than its search until the search is redone.
        emit TreeChanged();
        return;
    }
    hiding_ = true;
    hiddenParent_ = parent;
    hiddenCount_ = count;
    beginInsertRows(IndexOfParent(parent), static_cast<int>(first),
                    static_cast<int>(first + count - 1));
    hiding_ = false;
    endInsertRows();
    emit TreeChanged();
}

void ServerTreeModel::RowsAboutToBeRemoved(agent::NodeTree::Id parent, std::size_t first,
                                           std::size_t count) {
    removing_ = true;
    if (filter_) {
        beginResetModel();
        return;
    }
    beginRemoveRows(IndexOfParent(parent), static_cast<int>(first),
                    static_cast<int>(first + count - 1));
}

void ServerTreeModel::RowsRemoved() {
    if (filter_) {
        // The old result names dead nodes: show nothing until the search is redone.
        filter_ = std::make_unique<agent::PaneFilter>();
        endResetModel();
    } else {
        endRemoveRows();
    }
    removing_ = false;
    emit TreeChanged();
}

void ServerTreeModel::PicturesChanged(agent::NodeTree::Id node) {
    const QModelIndex changed = IndexOf(node);
    if (changed.isValid()) {
        emit dataChanged(changed, changed, {Qt::DecorationRole});
    }
}

}  // namespace kv::ui
