#pragma once

#include <QTreeView>

namespace kv::ui {

// The server pane's tree control. A right-button press opens the context menu for the node
// that is already selected, without selecting the node under the mouse.
class ServerTreeView : public QTreeView {
    Q_OBJECT

public:
    static constexpr int kIndentation = 19;
    static constexpr int kMinWidth = 249;

    explicit ServerTreeView(QWidget* parent = nullptr);

signals:
    void RightButtonPressed(const QPoint& globalPos);

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace kv::ui
