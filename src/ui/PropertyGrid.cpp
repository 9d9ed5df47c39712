#include "ui/PropertyGrid.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QStyledItemDelegate>

#include "ui/SjisValidator.h"

namespace kv::ui {

namespace {

// Values are edited in a line editor that refuses what the item cannot take.
class ValueDelegate : public QStyledItemDelegate {
public:
    explicit ValueDelegate(PropertyGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override {
        auto* edit = new QLineEdit(parent);
        edit->setFrame(false);
        const int digits = grid_->Digits(index.row());
        if (digits > 0) {
            edit->setMaxLength(digits);
            edit->setValidator(new QRegularExpressionValidator(
                QRegularExpression(QStringLiteral("[0-9]{0,%1}").arg(digits)), edit));
        } else {
            SjisValidator::Guard(edit);
        }
        return edit;
    }

private:
    PropertyGrid* grid_;
};

}  // namespace

PropertyGrid::PropertyGrid(QWidget* parent) : QTableWidget(0, 2, parent) {
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setMinimumSectionSize(0);
    setColumnWidth(0, kKeyWidth);
    horizontalHeader()->setStretchLastSection(true);
    verticalHeader()->setMinimumSectionSize(0);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::AllEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setItemDelegateForColumn(1, new ValueDelegate(this));
    connect(this, &QTableWidget::itemChanged, this, &PropertyGrid::OnItemChanged);
}

void PropertyGrid::AddItem(const QString& name, const QString& key, const QString& value,
                           int digits) {
    filling_ = true;
    const int row = rowCount();
    insertRow(row);
    auto* keyItem = new QTableWidgetItem(key);
    keyItem->setFlags(Qt::ItemIsEnabled);
    setItem(row, 0, keyItem);
    setItem(row, 1, new QTableWidgetItem(value));
    names_.append(name);
    values_.append(value);
    digits_.append(digits);
    filling_ = false;
}

QString PropertyGrid::Value(const QString& name) const {
    const int row = RowOf(name);
    return row < 0 ? QString() : values_.at(row);
}

void PropertyGrid::SetValue(const QString& name, const QString& value) {
    const int row = RowOf(name);
    if (row < 0) {
        return;
    }
    filling_ = true;
    values_[row] = value;
    item(row, 1)->setText(value);
    filling_ = false;
}

int PropertyGrid::RowOf(const QString& name) const {
    return static_cast<int>(names_.indexOf(name));
}

void PropertyGrid::OnItemChanged(QTableWidgetItem* changed) {
    if (filling_ || changed->column() != 1) {
        return;
    }
    const int row = changed->row();
    const QString oldText = values_.at(row);
    const QString newText = changed->text();
    if (newText == oldText) {
        return;
    }
    values_[row] = newText;
    emit ValueChanged(names_.at(row), oldText, newText);
}

// Rows share the height evenly so that all items show without a scroll bar.
void PropertyGrid::resizeEvent(QResizeEvent* event) {
    QTableWidget::resizeEvent(event);
    const int rows = rowCount();
    if (rows > 0) {
        const int height = viewport()->height() / rows;
        for (int row = 0; row < rows; ++row) {
            setRowHeight(row, height);
        }
    }
}

}  // namespace kv::ui
