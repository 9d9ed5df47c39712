#include "app/BusyScope.h"

#include "app/ManagerModel.h"

namespace kv::app {

BusyScope::BusyScope(ManagerModel& model, unsigned parts) : model_(model), parts_(parts) {
    if ((parts_ & Cursor) != 0) {
        model_.Ui().SetBusyCursor(true);
    }
    if ((parts_ & Window) != 0) {
        model_.SetMainWindowEnabled(false);
    }
    if ((parts_ & Animation) != 0) {
        model_.SetAnimation(true);
    }
}

void BusyScope::End() {
    if ((parts_ & Animation) != 0) {
        model_.SetAnimation(false);
    }
    if ((parts_ & Window) != 0) {
        model_.SetMainWindowEnabled(true);
    }
    if ((parts_ & Cursor) != 0) {
        model_.Ui().SetBusyCursor(false);
    }
    parts_ = 0;
}

}  // namespace kv::app
