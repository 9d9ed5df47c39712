#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include <QAbstractScrollArea>

#include "text/LineIndex.h"

namespace kv::ui {

// A read-only view of a Shift_JIS text of any size, as the text boxes of the file view and
// the log page show it: one line per line of the text, no wrapping, the window's Japanese
// font. The text is indexed once; only the lines on screen are decoded and laid out.
//
// Positions are byte offsets into the text, always at a character start. The caret and the
// selection behave as in a read-only text box: arrows, Page Up/Down, Home/End, Ctrl+Home/End,
// Shift to select, the mouse, Ctrl+A and Ctrl+C (the selection as Unicode).
class SjisTextView : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit SjisTextView(QWidget* parent = nullptr);
    ~SjisTextView() override;

    // Shows a text that the view keeps. The caret goes to 0, the view to the first line.
    void SetText(std::string text);
    // Shows a text that stays with its owner, who shows another one (or Clear) before it
    // changes or goes.
    void ShowText(std::string_view text);
    void Clear();
    std::string_view Text() const { return text_; }
    const text::LineIndex& Index() const { return index_; }

    std::size_t CaretPosition() const { return caret_; }
    void SetCaretPosition(std::size_t at, bool keepAnchor = false);
    bool HasSelection() const { return anchor_ != caret_; }
    std::size_t SelectionStart() const { return std::min(anchor_, caret_); }
    std::size_t SelectionEnd() const { return std::max(anchor_, caret_); }
    // Selects [start, end), the caret at its end, and brings it into view.
    void Select(std::size_t start, std::size_t end);
    void SelectAll();
    QString SelectedText() const;
    void Copy() const;
    // The last line into view and the caret after the last character.
    void ScrollToEnd();
    void EnsureCaretVisible();

    std::size_t FirstVisibleLine() const;
    std::size_t VisibleLineCount() const;
    // A line as shown, without its line end.
    QString LineText(std::size_t line) const;
    // The UTF-16 column of a position in its line as shown, and back.
    int ColumnOf(std::size_t position) const;
    std::size_t PositionAtColumn(std::size_t line, int column) const;

signals:
    void CaretMoved();
    // A new text is shown: positions into the old one mean nothing now.
    void TextReplaced();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    struct ShownLine;

    void Reset();
    const ShownLine& Shown(std::size_t line) const;
    void UpdateScrollBars();
    int LineHeight() const;
    std::size_t PositionAt(QPoint point) const;
    qreal XOf(std::size_t position) const;
    std::size_t PositionInLineAtX(std::size_t line, qreal x) const;
    std::size_t NextPosition(std::size_t at) const;
    std::size_t PreviousPosition(std::size_t at) const;
    void MoveCaret(std::size_t at, bool keepAnchor, bool keepGoal = false);
    void MoveLines(long long lines, bool keepAnchor);
    void ForgetLayouts();

    std::string owned_;
    std::string_view text_;
    text::LineIndex index_;
    std::size_t caret_ = 0;
    std::size_t anchor_ = 0;
    // The x the caret keeps to while it moves up and down.
    qreal goalX_ = -1;
    int widest_ = 0;
    bool caretShown_ = false;
    mutable std::unordered_map<std::size_t, std::unique_ptr<ShownLine>> layouts_;
};

}  // namespace kv::ui
