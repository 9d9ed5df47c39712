#pragma once

#include <QWidget>

#include "text/TextSearch.h"

class QLabel;
class QLineEdit;
class QShortcut;
class QTimer;

namespace kv::ui {

class SjisTextView;

// The find bar under a text view: Ctrl+F opens it, F3 and Shift+F3 (or Enter and
// Shift+Enter in its box) find the next and the previous match, Esc closes it. The match is
// selected and scrolled into view; "見つかりません" says there is none. A search runs in
// slices between events, so a large text never freezes the window.
class FindBar : public QWidget {
    Q_OBJECT

public:
    // The shortcuts work anywhere inside `host`.
    FindBar(SjisTextView* view, QWidget* host);

    void Open();
    void Close();
    void FindNext() { Find(false); }
    void FindPrevious() { Find(true); }
    QLineEdit* Needle() const { return needle_; }
    QString Status() const;
    bool Searching() const;

signals:
    // A search has ended, found or not.
    void Finished();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Find(bool backward);
    void Slice();
    void Stop(const QString& status);

    SjisTextView* view_;
    QLineEdit* needle_;
    QLabel* status_;
    QTimer* slices_;
    QShortcut* escape_ = nullptr;
    text::TextSearch search_;
};

}  // namespace kv::ui
