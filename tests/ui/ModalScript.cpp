#include "ModalScript.h"

#include <QAbstractButton>
#include <QApplication>

namespace kv::test {

namespace {
constexpr int kPollMs = 10;
constexpr int kMaxPolls = 500;
}  // namespace

ModalScript::ModalScript() {
    timer_.setInterval(kPollMs);
    connect(&timer_, &QTimer::timeout, this, &ModalScript::Poll);
    timer_.start();
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
    if (steps_.isEmpty()) {
        return;
    }
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == last_ || !modal->isVisible()) {
        if (++waited_ > kMaxPolls) {
            ++missed;
            waited_ = 0;
            steps_.removeFirst();
        }
        return;
    }
    waited_ = 0;
    last_ = modal;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        texts.append(box->text());
    }
    const Step step = steps_.takeFirst();
    step(modal);
}

}  // namespace kv::test
