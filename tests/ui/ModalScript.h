#pragma once

#include <functional>

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

namespace kv::test {

// Answers the modal windows that a test's action opens, one after the other: each step
// waits for the next modal widget, records a message box's text and runs the step on it.
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
    // Steps that found no modal widget within the time allowed.
    int missed = 0;
    bool Done() const { return steps_.isEmpty(); }

private:
    void Poll();

    QList<Step> steps_;
    QPointer<QWidget> last_;
    QTimer timer_;
    int waited_ = 0;
};

}  // namespace kv::test
