#include "ui/Resources.h"

#include <QtGlobal>

// The resource initialiser must be called from the global namespace.
static void InitKestrelviewResources() {
    Q_INIT_RESOURCE(kestrelview);
}

namespace kv::ui {

void LoadResources() {
    InitKestrelviewResources();
}

}  // namespace kv::ui
