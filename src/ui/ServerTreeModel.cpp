#include "ui/ServerTreeModel.h"

#include <QCoreApplication>
#include <QMimeData>

#include "ui/SjisText.h"

namespace kv::ui {

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

ServerTreeModel::ServerTreeModel(agent::NodeTree& tree, QObject* parent)
    : QAbstractItemModel(parent), tree_(tree) {
    for (int i = 0; i < kPictureCount; ++i) {
        pixmaps_[static_cast<std::size_t>(i)] = QPixmap(QStringLiteral(":/pane/%1.png").arg(i));
    }
    tree_.SetObserver(this);
}

ServerTreeModel::~ServerTreeModel() {
    tree_.SetObserver(nullptr);
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

QModelIndex ServerTreeModel::IndexOf(agent::NodeTree::Id node) const {
    if (node == agent::NodeTree::kNone || !tree_.IsAlive(node)) {
        return {};
    }
    return createIndex(static_cast<int>(tree_.Row(node)), 0, static_cast<quintptr>(node));
}

agent::NodeTree::Id ServerTreeModel::NodeOf(const QModelIndex& index) {
    return index.isValid() ? static_cast<agent::NodeTree::Id>(index.internalId())
                           : agent::NodeTree::kNone;
}

QModelIndex ServerTreeModel::IndexOfParent(agent::NodeTree::Id parent) const {
    return IndexOf(parent);
}

QModelIndex ServerTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (!hasIndex(row, column, parent)) {
        return {};
    }
    const auto& children = tree_.Children(NodeOf(parent));
    return createIndex(row, column, static_cast<quintptr>(children[static_cast<std::size_t>(row)]));
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
    const agent::NodeTree::Id node = NodeOf(parent);
    std::size_t count = tree_.ChildCount(node);
    if (hiding_ && node == hiddenParent_) {
        count -= hiddenCount_;
    }
    return static_cast<int>(count);
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
    hiding_ = true;
    hiddenParent_ = parent;
    hiddenCount_ = count;
    beginInsertRows(IndexOfParent(parent), static_cast<int>(first),
                    static_cast<int>(first + count - 1));
    hiding_ = false;
    endInsertRows();
}

void ServerTreeModel::RowsAboutToBeRemoved(agent::NodeTree::Id parent, std::size_t first,
                                           std::size_t count) {
    removing_ = true;
    beginRemoveRows(IndexOfParent(parent), static_cast<int>(first),
                    static_cast<int>(first + count - 1));
}

void ServerTreeModel::RowsRemoved() {
    endRemoveRows();
    removing_ = false;
}

void ServerTreeModel::PicturesChanged(agent::NodeTree::Id node) {
    const QModelIndex changed = IndexOf(node);
    emit dataChanged(changed, changed, {Qt::DecorationRole});
}

}  // namespace kv::ui
