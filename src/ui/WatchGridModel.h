#pragma once

#include <QAbstractTableModel>

namespace kv::app {
class ManagerModel;
}

namespace kv::ui {

// The settings grid as a Qt model over the presentation model's 128 x 5 cells, with the
// row numbers as column 0. The captions are the horizontal header. Edits go to the
// presentation model, which may refuse them.
class WatchGridModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit WatchGridModel(app::ManagerModel& model, QObject* parent = nullptr);

    // Every cell may have changed.
    void Refresh();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    app::ManagerModel& model_;
};

}  // namespace kv::ui
