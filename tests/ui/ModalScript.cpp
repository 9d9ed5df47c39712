#include "ModalScript.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>

namespace kv::test {

namespace {
constexpr int kPollMs = 10;
// Wall-clock patience: a loaded machine may take seconds to build a file dialog.
constexpr qint64 kPatienceMs = 30000;
}  // namespace

ModalScript::ModalScript() {
    timer_.setInterval(kPollMs);
    connect(&timer_, &QTimer::timeout, this, &ModalScript::Poll);
    timer_.start();
    waited_.start();
}

ModalScript::~ModalScript() {
    timer_.stop();
}

ModalScript& ModalScript::Answer(QMessageBox::StandardButton button) {
    return Then([button](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            box->button(button)->click();
        }
    });
}

ModalScript& ModalScript::Then(Step step) {
    steps_.append(std::move(step));
    return *this;
}

void ModalScript::Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && !modal->isVisible()) {
        modal = nullptr;
    }
    if (modal != watched_) {
        watched_ = modal;
        waited_.restart();
    }
    if (modal && modal != last_ && !steps_.isEmpty()) {
        last_ = modal;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            texts.append(box->text());
        }
        const Step step = steps_.takeFirst();
        step(modal);
        return;
    }
    if (!waited_.hasExpired(kPatienceMs)) {
        return;
    }
    waited_.restart();
    if (modal) {
        CloseUnanswered(modal);
    } else if (!steps_.isEmpty()) {
        ++missed;
        steps_.removeFirst();
    }
}

void ModalScript::CloseUnanswered(QWidget* modal) {
    ++missed;
    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
        dialog->reject();
    } else {
        modal->close();
    }
}

}  // namespace kv::test
