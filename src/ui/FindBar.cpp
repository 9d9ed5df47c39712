#include "ui/FindBar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>

#include "ui/SjisText.h"
#include "ui/SjisTextView.h"

namespace kv::ui {

namespace {

// Bytes searched between two turns of the event loop: a few milliseconds each.
constexpr std::size_t kSliceBytes = std::size_t(16) << 20;

// Enter in the box finds the next match, Shift+Enter the previous one.
class NeedleKeys : public QObject {
public:
    explicit NeedleKeys(FindBar* bar) : QObject(bar), bar_(bar) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                if (key->modifiers() & Qt::ShiftModifier) {
                    bar_->FindPrevious();
                } else {
                    bar_->FindNext();
                }
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    FindBar* bar_;
};

}  // namespace

FindBar::FindBar(SjisTextView* view, QWidget* host)
    : QWidget(host),
      view_(view),
      needle_(new QLineEdit(this)),
      status_(new QLabel(this)),
      slices_(new QTimer(this)) {
    setObjectName(QStringLiteral("FindBar"));
    needle_->setObjectName(QStringLiteral("EdtFind"));
    needle_->setAccessibleName(QStringLiteral("検索する文字列"));
    needle_->installEventFilter(new NeedleKeys(this));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(new QLabel(QStringLiteral("検索:"), this));
    layout->addWidget(needle_, 1);
    const auto button = [this, layout](const QString& text, const QString& tip, auto action) {
        auto* b = new QToolButton(this);
        b->setText(text);
        b->setToolTip(tip);
        b->setAccessibleName(tip);
        connect(b, &QToolButton::clicked, this, action);
        layout->addWidget(b);
    };
    button(QStringLiteral("▲"), QStringLiteral("前を検索 (Shift+F3)"), [this] { FindPrevious(); });
    button(QStringLiteral("▼"), QStringLiteral("次を検索 (F3)"), [this] { FindNext(); });
    layout->addWidget(status_);
    button(QStringLiteral("×"), QStringLiteral("閉じる (Esc)"), [this] { Close(); });
    hide();

    slices_->setInterval(0);
    connect(slices_, &QTimer::timeout, this, &FindBar::Slice);
    connect(view_, &SjisTextView::TextReplaced, this, [this] { Stop({}); });

    const auto shortcut = [host](const QKeySequence& keys, auto action) {
        auto* s = new QShortcut(keys, host);
        s->setContext(Qt::WidgetWithChildrenShortcut);
        QObject::connect(s, &QShortcut::activated, host, action);
        return s;
    };
    shortcut(QKeySequence::Find, [this] { Open(); });
    shortcut(QKeySequence(Qt::Key_F3), [this] { FindNext(); });
    shortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), [this] { FindPrevious(); });
    escape_ = shortcut(QKeySequence(Qt::Key_Escape), [this] { Close(); });
    escape_->setEnabled(false);
}

void FindBar::Close() {
    Stop({});
    hide();
    view_->setFocus(Qt::OtherFocusReason);
}

void FindBar::showEvent(QShowEvent* event) {
    escape_->setEnabled(true);
    QWidget::showEvent(event);
}

void FindBar::hideEvent(QHideEvent* event) {
    escape_->setEnabled(false);
    QWidget::hideEvent(event);
}

void FindBar::Open() {
    show();
    needle_->setFocus(Qt::ShortcutFocusReason);
    needle_->selectAll();
}

QString FindBar::Status() const {
    return status_->text();
}

bool FindBar::Searching() const {
    return slices_->isActive();
}

void FindBar::Find(bool backward) {
    if (needle_->text().isEmpty()) {
        Open();
        return;
    }
    const std::optional<std::string> needle = ToSjis(needle_->text());
    if (!needle) {
        Stop(QStringLiteral("見つかりません"));
        return;
    }
    std::size_t from = view_->CaretPosition();
    if (view_->HasSelection()) {
        from = backward ? view_->SelectionStart() : view_->SelectionStart() + 1;
    }
    search_.Start(view_->Text(), view_->Index(), *needle, from, backward);
    status_->setText(QStringLiteral("検索中…"));
    slices_->start();
    Slice();
}

void FindBar::Slice() {
    if (!slices_->isActive()) {
        return;
    }
    switch (search_.Step(kSliceBytes)) {
        case text::TextSearch::Result::Running:
            return;
        case text::TextSearch::Result::Found:
            view_->Select(search_.MatchStart(), search_.MatchEnd());
            Stop(search_.Wrapped() ? QStringLiteral("端まで検索して折り返しました") : QString());
            return;
        case text::TextSearch::Result::NotFound:
            Stop(QStringLiteral("見つかりません"));
            return;
    }
}

void FindBar::Stop(const QString& status) {
    const bool wasSearching = slices_->isActive();
    slices_->stop();
    status_->setText(status);
    if (wasSearching) {
        emit Finished();
    }
}

}  // namespace kv::ui
