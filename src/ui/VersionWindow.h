#pragma once

#include <QDialog>

class QLabel;

namespace kv::ui {

// The version window: a borderless picture, centred on the screen, closed by a click on the
// picture and by nothing else.
class VersionWindow : public QDialog {
    Q_OBJECT

public:
    static constexpr int kWidth = 480;
    static constexpr int kHeight = 270;

    explicit VersionWindow(QWidget* parent = nullptr);

    // Centres the window on the screen of its parent (or the primary screen) and shows it
    // modally.
    int exec() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLabel* image1_;
};

}  // namespace kv::ui
