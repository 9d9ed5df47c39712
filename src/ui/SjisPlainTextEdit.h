#pragma once

#include <QPlainTextEdit>

namespace kv::ui {

// A multi-line editor that refuses, at entry, text that Shift_JIS cannot hold: typed keys,
// input-method commits, pastes and drops.
class SjisPlainTextEdit : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit SjisPlainTextEdit(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
};

}  // namespace kv::ui
