#pragma once

#include <cstdint>

namespace kv::app {

// What changed in the model; observers receive a mask of these.
enum class Change : std::uint32_t {
    Servers = 1u << 0,        // server table or address list (names included)
    PanePictures = 1u << 1,   // node pictures (structure arrives through NodeTree::Observer)
    Selection = 1u << 2,      // the model selected another node
    CurrentServer = 1u << 3,  // the server the pages show
    Grid = 1u << 4,           // cell texts
    CurrentCell = 1u << 5,
    Mail = 1u << 6,  // subject, body, SMTP server, sender
    ServerName = 1u << 7,
    Status = 1u << 8,
    Progress = 1u << 9,
    Animation = 1u << 10,
    LogTab = 1u << 11,  // visibility of the log page's tab
    LogText = 1u << 12,
    LogIndex = 1u << 13,
    Enabling = 1u << 14,  // enabled state of controls, and the editing colours
    ActivePage = 1u << 15,
    Connection = 1u << 16,  // the three connection setting texts
    Layout = 1u << 17,      // splitter-derived widths
    WindowEnabled = 1u << 18,
    // Requests rather than state: scroll the log to its end (caret after the last
    // character); or, on activation of the log page, do so and focus it only when the
    // caret still stands at position 0.
    LogScrollToEnd = 1u << 19,
    LogActivated = 1u << 20,
};

using ChangeMask = std::uint32_t;

constexpr ChangeMask operator|(Change a, Change b) {
    return static_cast<ChangeMask>(a) | static_cast<ChangeMask>(b);
}
constexpr ChangeMask operator|(ChangeMask a, Change b) {
    return a | static_cast<ChangeMask>(b);
}
constexpr bool Has(ChangeMask mask, Change change) {
    return (mask & static_cast<ChangeMask>(change)) != 0;
}

// The window listens to the model through this.
class ModelObserver {
public:
    virtual ~ModelObserver() = default;
    virtual void ModelChanged(ChangeMask what) = 0;
};

}  // namespace kv::app
