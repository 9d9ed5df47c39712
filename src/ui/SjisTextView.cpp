#include "ui/SjisTextView.h"

#include <algorithm>
#include <vector>

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>

#include "text/TextSearch.h"
#include "ui/SjisText.h"
#include "ui/SjisTextViewAccessible.h"
#include "ui/WindowFont.h"

namespace kv::ui {

namespace {

constexpr int kMargin = 3;
// Laid-out lines kept beyond those on screen before the cache is emptied.
constexpr std::size_t kMaxLayouts = 400;

}  // namespace

// One line decoded and laid out, with the byte offset (from the line's start) of each of
// its UTF-16 units and of its end.
struct SjisTextView::ShownLine {
    QString text;
    std::vector<std::uint32_t> offsets;
    QTextLayout layout;

    int UnitOf(std::size_t offset) const {
        return static_cast<int>(std::lower_bound(offsets.begin(), offsets.end(), offset) -
                                offsets.begin());
    }
};

SjisTextView::SjisTextView(QWidget* parent) : QAbstractScrollArea(parent) {
    InstallSjisTextViewAccessible();
    setFont(WindowFont::Text());
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    Reset();
}

SjisTextView::~SjisTextView() = default;

void SjisTextView::SetText(std::string text) {
    owned_ = std::move(text);
    text_ = owned_;
    Reset();
}

void SjisTextView::ShowText(std::string_view text) {
    text_ = text;
    std::string().swap(owned_);
    Reset();
}

void SjisTextView::Clear() {
    ShowText({});
}

void SjisTextView::Reset() {
    index_.Clear();
    index_.Extend(text_);
    caret_ = anchor_ = 0;
    goalX_ = -1;
    widest_ = 0;
    ForgetLayouts();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    UpdateScrollBars();
    viewport()->update();
    emit TextReplaced();
    emit CaretMoved();
}

void SjisTextView::ForgetLayouts() {
    layouts_.clear();
}

int SjisTextView::LineHeight() const {
    return std::max(1, fontMetrics().height());
}

std::size_t SjisTextView::FirstVisibleLine() const {
    return static_cast<std::size_t>(verticalScrollBar()->value());
}

std::size_t SjisTextView::VisibleLineCount() const {
    return static_cast<std::size_t>(std::max(1, (viewport()->height() - kMargin) / LineHeight()));
}

void SjisTextView::UpdateScrollBars() {
    const std::size_t lines = index_.LineCount();
    const std::size_t visible = VisibleLineCount();
    const auto last = static_cast<int>(std::min<std::size_t>(lines > visible ? lines - visible : 0,
                                                             static_cast<std::size_t>(INT_MAX)));
    verticalScrollBar()->setRange(0, last);
    verticalScrollBar()->setPageStep(static_cast<int>(visible));
    verticalScrollBar()->setSingleStep(1);
    // Lines not yet laid out are estimated from their length: a byte of Shift_JIS is about
    // half a full-width character.
    const auto estimate =
        static_cast<long long>(index_.LongestLine()) * fontMetrics().averageCharWidth();
    const long long width = std::max<long long>(estimate, widest_) + 2 * kMargin + 2;
    horizontalScrollBar()->setRange(
        0, static_cast<int>(std::clamp<long long>(width - viewport()->width(), 0, INT_MAX)));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setSingleStep(fontMetrics().averageCharWidth() * 2);
}

const SjisTextView::ShownLine& SjisTextView::Shown(std::size_t line) const {
    if (const auto found = layouts_.find(line); found != layouts_.end()) {
        return *found->second;
    }
    if (layouts_.size() >= kMaxLayouts) {
        layouts_.clear();
    }
    auto shown = std::make_unique<ShownLine>();
    const std::string_view bytes = index_.Line(line, text_);
    // Each character decoded apart, so every unit knows its bytes; runs of ASCII at once.
    shown->offsets.reserve(bytes.size() + 1);
    std::size_t at = 0;
    while (at < bytes.size()) {
        std::size_t ascii = at;
        while (ascii < bytes.size() && static_cast<unsigned char>(bytes[ascii]) < 0x80) {
            ++ascii;
        }
        if (ascii > at) {
            shown->text +=
                QString::fromLatin1(bytes.data() + at, static_cast<qsizetype>(ascii - at));
            for (; at < ascii; ++at) {
                shown->offsets.push_back(static_cast<std::uint32_t>(at));
            }
            continue;
        }
        const std::size_t next = text::NextSjisCharacter(bytes, at, bytes.size());
        const QString character = FromSjis(bytes.substr(at, next - at));
        shown->text += character;
        shown->offsets.insert(shown->offsets.end(), static_cast<std::size_t>(character.size()),
                              static_cast<std::uint32_t>(at));
        at = next;
    }
    shown->offsets.push_back(static_cast<std::uint32_t>(bytes.size()));

    shown->layout.setText(shown->text);
    shown->layout.setFont(font());
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTabStopDistance(8 * fontMetrics().horizontalAdvance(QLatin1Char(' ')));
    shown->layout.setTextOption(option);
    shown->layout.setCacheEnabled(true);
    shown->layout.beginLayout();
    QTextLine textLine = shown->layout.createLine();
    if (textLine.isValid()) {
        textLine.setLineWidth(1e9);
        textLine.setPosition(QPointF(0, 0));
    }
    shown->layout.endLayout();
    const int width = static_cast<int>(textLine.isValid() ? textLine.naturalTextWidth() : 0);
    auto* self = const_cast<SjisTextView*>(this);
    if (width > widest_) {
        self->widest_ = width;
        self->UpdateScrollBars();
    }
    return *layouts_.emplace(line, std::move(shown)).first->second;
}

QString SjisTextView::LineText(std::size_t line) const {
    return line < index_.LineCount() ? Shown(line).text : QString();
}

int SjisTextView::ColumnOf(std::size_t position) const {
    const std::size_t line = index_.LineOf(position);
    return Shown(line).UnitOf(position - index_.LineStart(line));
}

std::size_t SjisTextView::PositionAtColumn(std::size_t line, int column) const {
    const ShownLine& shown = Shown(line);
    const auto last = static_cast<int>(shown.offsets.size()) - 1;
    return index_.LineStart(line) +
           shown.offsets[static_cast<std::size_t>(std::clamp(column, 0, last))];
}

void SjisTextView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const int height = LineHeight();
    const std::size_t first = FirstVisibleLine();
    const std::size_t last = std::min(index_.LineCount(), first + VisibleLineCount() + 2);
    const qreal left = kMargin - horizontalScrollBar()->value();
    const std::size_t selectionStart = SelectionStart();
    const std::size_t selectionEnd = SelectionEnd();
    for (std::size_t line = first; line < last; ++line) {
        const ShownLine& shown = Shown(line);
        const std::size_t start = index_.LineStart(line);
        const qreal top = kMargin + static_cast<qreal>(line - first) * height;
        QList<QTextLayout::FormatRange> ranges;
        const std::size_t lineEnd = start + shown.offsets.back();
        if (HasSelection() && selectionStart <= lineEnd && selectionEnd > start) {
            QTextLayout::FormatRange range;
            const int from = shown.UnitOf(std::max(selectionStart, start) - start);
            const int to = shown.UnitOf(std::min(selectionEnd, lineEnd) - start);
            range.start = from;
            range.length = to - from;
            range.format.setBackground(palette().brush(QPalette::Highlight));
            range.format.setForeground(palette().brush(QPalette::HighlightedText));
            ranges.append(range);
            // A selected line end shows as a little room after the line.
            if (selectionEnd > lineEnd) {
                const qreal x = left + shown.layout.lineAt(0).naturalTextWidth();
                painter.fillRect(QRectF(x, top, fontMetrics().averageCharWidth(), height),
                                 palette().brush(QPalette::Highlight));
            }
        }
        shown.layout.draw(&painter, QPointF(left, top), ranges);
        if (caretShown_ && index_.LineOf(caret_) == line) {
            shown.layout.drawCursor(&painter, QPointF(left, top), shown.UnitOf(caret_ - start));
        }
    }
}

void SjisTextView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void SjisTextView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        widest_ = 0;
        ForgetLayouts();
        UpdateScrollBars();
        viewport()->update();
    }
}

void SjisTextView::focusInEvent(QFocusEvent* event) {
    caretShown_ = true;
    viewport()->update();
    QAbstractScrollArea::focusInEvent(event);
}

void SjisTextView::focusOutEvent(QFocusEvent* event) {
    caretShown_ = false;
    viewport()->update();
    QAbstractScrollArea::focusOutEvent(event);
}

qreal SjisTextView::XOf(std::size_t position) const {
    const std::size_t line = index_.LineOf(position);
    const ShownLine& shown = Shown(line);
    return shown.layout.lineAt(0).cursorToX(shown.UnitOf(position - index_.LineStart(line)));
}

std::size_t SjisTextView::PositionInLineAtX(std::size_t line, qreal x) const {
    const ShownLine& shown = Shown(line);
    const int unit = shown.layout.lineAt(0).xToCursor(x);
    return index_.LineStart(line) + shown.offsets[static_cast<std::size_t>(std::clamp<int>(
                                        unit, 0, static_cast<int>(shown.offsets.size()) - 1))];
}

std::size_t SjisTextView::PositionAt(QPoint point) const {
    const long long row = std::max(0, point.y() - kMargin) / LineHeight();
    const std::size_t line =
        std::min(index_.LineCount() - 1, FirstVisibleLine() + static_cast<std::size_t>(row));
    return PositionInLineAtX(line, point.x() - kMargin + horizontalScrollBar()->value());
}

std::size_t SjisTextView::NextPosition(std::size_t at) const {
    const std::size_t line = index_.LineOf(at);
    const std::size_t end = index_.LineEnd(line, text_);
    if (at >= end) {
        return line + 1 < index_.LineCount() ? index_.LineStart(line + 1) : at;
    }
    return text::NextSjisCharacter(text_, at, end);
}

std::size_t SjisTextView::PreviousPosition(std::size_t at) const {
    const std::size_t line = index_.LineOf(at);
    const std::size_t start = index_.LineStart(line);
    if (at == start) {
        return line > 0 ? index_.LineEnd(line - 1, text_) : 0;
    }
    std::size_t previous = start;
    for (std::size_t p = start; p < at; p = text::NextSjisCharacter(text_, p, at)) {
        previous = p;
    }
    return previous;
}

void SjisTextView::SetCaretPosition(std::size_t at, bool keepAnchor) {
    MoveCaret(std::min(at, text_.size()), keepAnchor);
}

void SjisTextView::MoveCaret(std::size_t at, bool keepAnchor, bool keepGoal) {
    caret_ = at;
    if (!keepAnchor) {
        anchor_ = at;
    }
    if (!keepGoal) {
        goalX_ = -1;
    }
    EnsureCaretVisible();
    viewport()->update();
    emit CaretMoved();
    if (QAccessible::isActive()) {
        QAccessibleTextCursorEvent moved(this, ColumnOf(caret_));
        QAccessible::updateAccessibility(&moved);
        if (HasSelection()) {
            QAccessibleTextSelectionEvent selected(this, 0, 0);
            QAccessible::updateAccessibility(&selected);
        }
    }
}

void SjisTextView::MoveLines(long long lines, bool keepAnchor) {
    if (goalX_ < 0) {
        goalX_ = XOf(caret_);
    }
    const auto line = static_cast<long long>(index_.LineOf(caret_));
    const long long target =
        std::clamp<long long>(line + lines, 0, static_cast<long long>(index_.LineCount()) - 1);
    MoveCaret(PositionInLineAtX(static_cast<std::size_t>(target), goalX_), keepAnchor, true);
}

void SjisTextView::Select(std::size_t start, std::size_t end) {
    anchor_ = std::min(start, text_.size());
    MoveCaret(std::min(end, text_.size()), true);
}

void SjisTextView::SelectAll() {
    anchor_ = 0;
    caret_ = text_.size();
    viewport()->update();
    emit CaretMoved();
}

QString SjisTextView::SelectedText() const {
    return FromSjisLines(text_.substr(SelectionStart(), SelectionEnd() - SelectionStart()));
}

void SjisTextView::Copy() const {
    if (HasSelection()) {
        QApplication::clipboard()->setText(SelectedText());
    }
}

void SjisTextView::ScrollToEnd() {
    MoveCaret(text_.size(), false);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void SjisTextView::EnsureCaretVisible() {
    const std::size_t line = index_.LineOf(caret_);
    const std::size_t first = FirstVisibleLine();
    const std::size_t visible = VisibleLineCount();
    if (line < first) {
        verticalScrollBar()->setValue(static_cast<int>(line));
    } else if (line >= first + visible) {
        verticalScrollBar()->setValue(static_cast<int>(line - visible + 1));
    }
    const int x = static_cast<int>(XOf(caret_));
    const int scroll = horizontalScrollBar()->value();
    const int room = viewport()->width() - 2 * kMargin - 4;
    if (x < scroll) {
        horizontalScrollBar()->setValue(std::max(0, x - room / 4));
    } else if (x > scroll + room) {
        horizontalScrollBar()->setValue(x - room + room / 4);
    }
}

void SjisTextView::keyPressEvent(QKeyEvent* event) {
    if (event == QKeySequence::Copy) {
        Copy();
        return;
    }
    if (event == QKeySequence::SelectAll) {
        SelectAll();
        return;
    }
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const bool control = event->modifiers() & Qt::ControlModifier;
    const auto page = static_cast<long long>(VisibleLineCount());
    const std::size_t line = index_.LineOf(caret_);
    switch (event->key()) {
        case Qt::Key_Left:
            MoveCaret(PreviousPosition(caret_), shift);
            break;
        case Qt::Key_Right:
            MoveCaret(NextPosition(caret_), shift);
            break;
        case Qt::Key_Up:
            MoveLines(-1, shift);
            break;
        case Qt::Key_Down:
            MoveLines(1, shift);
            break;
        case Qt::Key_PageUp:
            verticalScrollBar()->setValue(verticalScrollBar()->value() - static_cast<int>(page));
            MoveLines(-page, shift);
            break;
        case Qt::Key_PageDown:
            verticalScrollBar()->setValue(verticalScrollBar()->value() + static_cast<int>(page));
            MoveLines(page, shift);
            break;
        case Qt::Key_Home:
            MoveCaret(control ? 0 : index_.LineStart(line), shift);
            break;
        case Qt::Key_End:
            MoveCaret(control ? text_.size() : index_.LineEnd(line, text_), shift);
            break;
        default:
            QAbstractScrollArea::keyPressEvent(event);
            return;
    }
    event->accept();
}

void SjisTextView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        MoveCaret(PositionAt(event->position().toPoint()), event->modifiers() & Qt::ShiftModifier);
    }
}

void SjisTextView::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) {
        MoveCaret(PositionAt(event->position().toPoint()), true);
    }
}

void SjisTextView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copy = menu.addAction(QStringLiteral("コピー(&C)"), this, [this] { Copy(); });
    copy->setEnabled(HasSelection());
    menu.addAction(QStringLiteral("すべて選択(&A)"), this, [this] { SelectAll(); });
    menu.exec(event->globalPos());
}

}  // namespace kv::ui
