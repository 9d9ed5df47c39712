#include "ui/WatchGridModel.h"

#include "app/ManagerModel.h"
#include "ui/SjisText.h"

namespace kv::ui {

namespace {

std::size_t GridRow(const QModelIndex& index) {
    return static_cast<std::size_t>(index.row()) + 1;
}
std::size_t GridColumn(const QModelIndex& index) {
    return static_cast<std::size_t>(index.column());
}

}  // namespace

WatchGridModel::WatchGridModel(app::ManagerModel& model, QObject* parent)
    : QAbstractTableModel(parent), model_(model) {}

void WatchGridModel::Refresh() {
    emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

int WatchGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(app::WatchGrid::kRows);
}

int WatchGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(app::WatchGrid::kColumns + 1);
}

QVariant WatchGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            if (index.column() == 0) {
                return QString::number(index.row() + 1);
            }
            return FromSjis(model_.Grid().Cell(GridRow(index), GridColumn(index)));
        case Qt::TextAlignmentRole: {
            const bool centred = app::WatchGrid::Columns()[GridColumn(index)].Centred;
            return QVariant::fromValue(Qt::AlignVCenter |
                                       (centred ? Qt::AlignHCenter : Qt::AlignLeft));
        }
        default:
            return {};
    }
}

bool WatchGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.column() == 0 || role != Qt::EditRole) {
        return false;
    }
    const std::optional<std::string> bytes = ToSjis(value.toString());
    const bool stored = bytes && model_.EditCell(GridRow(index), GridColumn(index), *bytes);
    // Refused text leaves the old one, which the view must show again.
    emit dataChanged(index, index);
    return stored;
}

QVariant WatchGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 ||
        section > static_cast<int>(app::WatchGrid::kColumns)) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (role == Qt::DisplayRole) {
        return FromSjis(app::WatchGrid::Columns()[static_cast<std::size_t>(section)].Caption);
    }
    return {};
}

Qt::ItemFlags WatchGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    if (index.column() == 0) {
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDropEnabled;
}

}  // namespace kv::ui
