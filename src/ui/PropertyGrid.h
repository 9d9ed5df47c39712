#pragma once

#include <QStringList>
#include <QTableWidget>

namespace kv::ui {

// A key/value grid: one row per item, the key read-only, the value edited in place. A change
// is reported after the new value is stored, and only when it differs from the old one.
class PropertyGrid : public QTableWidget {
    Q_OBJECT

public:
    static constexpr int kKeyWidth = 100;

    explicit PropertyGrid(QWidget* parent = nullptr);

    // `digits` > 0 limits the value to that many decimal digits.
    void AddItem(const QString& name, const QString& key, const QString& value, int digits = 0);
    QString Value(const QString& name) const;
    // Replaces a value without reporting a change.
    void SetValue(const QString& name, const QString& value);
    int ItemCount() const { return static_cast<int>(names_.size()); }
    QString Name(int row) const { return names_.at(row); }
    int Digits(int row) const { return digits_.at(row); }

signals:
    void ValueChanged(const QString& name, const QString& oldText, const QString& newText);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int RowOf(const QString& name) const;
    void OnItemChanged(QTableWidgetItem* item);

    QStringList names_;
    QStringList values_;
    QList<int> digits_;
    bool filling_ = false;
};

}  // namespace kv::ui
