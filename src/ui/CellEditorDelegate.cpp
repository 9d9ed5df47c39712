#include "ui/CellEditorDelegate.h"

#include <QKeyEvent>
#include <QLineEdit>

#include "app/WatchGrid.h"
#include "ui/SjisValidator.h"

namespace kv::ui {

namespace {

const char* const kColumnProperty = "kvColumn";

// Printable characters go through the column's key rule; control keys (backspace, the
// shortcuts) always pass.
bool Refused(std::size_t column, const QString& typed) {
    for (const char32_t c : typed.toUcs4()) {
        if (QChar::isPrint(c) && !app::WatchGrid::AcceptsTypedKey(column, c)) {
            return true;
        }
    }
    return false;
}

}  // namespace

CellEditorDelegate::CellEditorDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

QWidget* CellEditorDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                          const QModelIndex& index) const {
    auto* edit = new QLineEdit(parent);
    edit->setFrame(false);
    edit->setAlignment(index.data(Qt::TextAlignmentRole).value<Qt::Alignment>());
    edit->setContextMenuPolicy(Qt::NoContextMenu);  // the grid's own popup serves the cell
    edit->setProperty(kColumnProperty, index.column());
    SjisValidator::Guard(edit);
    return edit;
}

void CellEditorDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* edit = static_cast<QLineEdit*>(editor);
    const QString text = index.data(Qt::EditRole).toString();
    if (edit->text() != text) {
        edit->setText(text);
    }
}

void CellEditorDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                      const QModelIndex& index) const {
    const QString text = static_cast<QLineEdit*>(editor)->text();
    if (text != index.data(Qt::EditRole).toString()) {
        model->setData(index, text, Qt::EditRole);
    }
}

bool CellEditorDelegate::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const QVariant column = watched->property(kColumnProperty);
        const auto* key = static_cast<QKeyEvent*>(event);
        if (column.isValid() && Refused(static_cast<std::size_t>(column.toInt()), key->text())) {
            return true;
        }
    }
    return QStyledItemDelegate::eventFilter(watched, event);
}

}  // namespace kv::ui
