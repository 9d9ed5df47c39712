#pragma once

#include <functional>

#include <QElapsedTimer>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

namespace kv::test {

// Answers the modal windows that a test's action opens, one after the other: each step
// waits for the next modal widget, records a message box's text and runs the step on it.
// A modal that stays open unanswered (no step left for it, or a failed step left it open) is
// closed after a while and counted, so a broken test fails instead of hanging in its loop.
class ModalScript : public QObject {
    Q_OBJECT

public:
    using Step = std::function<void(QWidget* modal)>;

    ModalScript();
    ~ModalScript() override;

    // Presses `button` on the next message box.
    ModalScript& Answer(QMessageBox::StandardButton button);
    ModalScript& Then(Step step);

    // Texts of the message boxes met so far.
    QStringList texts;
    // Steps that found no modal widget in time, and modals closed because nothing answered.
    int missed = 0;
    bool Done() const { return steps_.isEmpty() && missed == 0; }

private:
    void Poll();
    void CloseUnanswered(QWidget* modal);

    QList<Step> steps_;
    QPointer<QWidget> last_;     // the modal the latest step ran on
    QPointer<QWidget> watched_;  // the modal seen at the latest poll, timed by waited_
    QTimer timer_;
    QElapsedTimer waited_;
};

}  // namespace kv::test
