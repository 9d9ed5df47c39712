#pragma once

#include "ui/PropertyGrid.h"

namespace kv::app {
class ManagerModel;
}

namespace kv::ui {

// The connection pane "GrdNetwork" below the server pane: user name, password and port of
// the Agents, each handed to the model as typed. The model may refuse a port; the pane then
// shows what the model holds again.
class ConnectionPane : public PropertyGrid {
    Q_OBJECT

public:
    static constexpr int kHeight = 53;

    explicit ConnectionPane(app::ManagerModel& model, QWidget* parent = nullptr);

    // Shows the model's connection settings.
    void Refresh();

private:
    app::ManagerModel& model_;
};

}  // namespace kv::ui
