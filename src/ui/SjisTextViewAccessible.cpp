#include "ui/SjisTextViewAccessible.h"

#include <algorithm>

#include <QAccessibleWidget>

#include "ui/SjisTextView.h"

namespace kv::ui {

namespace {

// A selection longer than this is read out only up to here.
constexpr std::size_t kMaxValueBytes = 64 * 1024;

class Accessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit Accessible(SjisTextView* view) : QAccessibleWidget(view, QAccessible::EditableText) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) {
            return static_cast<QAccessibleTextInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = true;
        state.multiLine = true;
        state.selectableText = true;
        return state;
    }

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value) {
            const std::size_t start = View()->SelectionStart();
            const std::size_t end = std::min(View()->SelectionEnd(), start + kMaxValueBytes);
            return FromSelection(start, end);
        }
        return QAccessibleWidget::text(kind);
    }

    // The caret's line.
    QString text(int startOffset, int endOffset) const override {
        return Line().mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return static_cast<int>(Line().size()); }
    int cursorPosition() const override { return View()->ColumnOf(View()->CaretPosition()); }
    void setCursorPosition(int position) override {
        View()->SetCaretPosition(View()->PositionAtColumn(CaretLine(), position));
    }
    int selectionCount() const override {
        int start = 0;
        int end = 0;
        selection(0, &start, &end);
        return start < end ? 1 : 0;
    }
    void selection(int selectionIndex, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = 0;
        const SjisTextView* view = View();
        if (selectionIndex != 0 || !view->HasSelection()) {
            return;
        }
        const std::size_t lineStart = view->Index().LineStart(CaretLine());
        const std::size_t lineEnd = view->Index().LineEnd(CaretLine(), view->Text());
        const std::size_t start = std::clamp(view->SelectionStart(), lineStart, lineEnd);
        const std::size_t end = std::clamp(view->SelectionEnd(), lineStart, lineEnd);
        *startOffset = view->ColumnOf(start);
        *endOffset = view->ColumnOf(end);
    }
    void addSelection(int startOffset, int endOffset) override {
        setSelection(0, startOffset, endOffset);
    }
    void removeSelection(int) override { View()->SetCaretPosition(View()->CaretPosition()); }
    void setSelection(int, int startOffset, int endOffset) override {
        const std::size_t line = CaretLine();
        View()->Select(View()->PositionAtColumn(line, startOffset),
                       View()->PositionAtColumn(line, endOffset));
    }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int startIndex, int) override { setCursorPosition(startIndex); }
    QString attributes(int offset, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = offset;
        return {};
    }

private:
    SjisTextView* View() const { return static_cast<SjisTextView*>(widget()); }
    std::size_t CaretLine() const { return View()->Index().LineOf(View()->CaretPosition()); }
    QString Line() const { return View()->LineText(CaretLine()); }
    QString FromSelection(std::size_t start, std::size_t end) const {
        const SjisTextView* view = View();
        QString text;
        for (std::size_t line = view->Index().LineOf(start); start < end; ++line) {
            const std::size_t lineEnd = view->Index().LineEnd(line, view->Text());
            const int from = view->ColumnOf(start);
            const int to = view->ColumnOf(std::min(end, lineEnd));
            text += view->LineText(line).mid(from, to - from);
            if (end > lineEnd && line + 1 < view->Index().LineCount()) {
                text += QLatin1Char('\n');
            }
            if (line + 1 >= view->Index().LineCount()) {
                break;
            }
            start = view->Index().LineStart(line + 1);
        }
        return text;
    }
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
    if (className == QLatin1String("kv::ui::SjisTextView") && object->isWidgetType()) {
        return new Accessible(static_cast<SjisTextView*>(object));
    }
    return nullptr;
}

}  // namespace

void InstallSjisTextViewAccessible() {
    static const bool installed = [] {
        QAccessible::installFactory(Factory);
        return true;
    }();
    (void)installed;
}

}  // namespace kv::ui
