#pragma once

#include <QStyledItemDelegate>

namespace kv::ui {

// The settings grid's in-place editor: a line editor that refuses text Shift_JIS cannot
// hold and, in the count column, every typed character but digits and backspace. It writes
// back only a text the user changed, so bytes that do not decode survive a visit.
class CellEditorDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit CellEditorDelegate(QObject* parent = nullptr);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace kv::ui
