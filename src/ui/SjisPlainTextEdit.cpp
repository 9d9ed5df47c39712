#include "ui/SjisPlainTextEdit.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>

#include "ui/SjisText.h"

namespace kv::ui {

SjisPlainTextEdit::SjisPlainTextEdit(QWidget* parent) : QPlainTextEdit(parent) {}

void SjisPlainTextEdit::keyPressEvent(QKeyEvent* event) {
    if (!isReadOnly() && !event->text().isEmpty() && !FitsSjis(event->text())) {
        ShowSjisRefusal(this);
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void SjisPlainTextEdit::inputMethodEvent(QInputMethodEvent* event) {
    if (!isReadOnly() && !FitsSjis(event->commitString())) {
        ShowSjisRefusal(this);
        QInputMethodEvent preeditOnly(event->preeditString(), event->attributes());
        QPlainTextEdit::inputMethodEvent(&preeditOnly);
        return;
    }
    QPlainTextEdit::inputMethodEvent(event);
}

bool SjisPlainTextEdit::canInsertFromMimeData(const QMimeData* source) const {
    return source->hasText() && QPlainTextEdit::canInsertFromMimeData(source);
}

void SjisPlainTextEdit::insertFromMimeData(const QMimeData* source) {
    if (!FitsSjis(source->text())) {
        ShowSjisRefusal(this);
        return;
    }
    QPlainTextEdit::insertFromMimeData(source);
}

}  // namespace kv::ui
