#pragma once

namespace kv::ui {

// Registers the pictures compiled into the window library; call once before any widget.
void LoadResources();

}  // namespace kv::ui
