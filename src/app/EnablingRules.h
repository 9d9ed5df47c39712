#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "app/CommandTable.h"

namespace kv::app {

// The events that enable or disable controls. An event of the window that does more
// than one of these (selecting a server, say) raises them in order, as its steps do.
enum class UiEvent : std::uint8_t {
    Start,  // before the window is shown: the tree popup's file entries off
    FirstShowing,
    EditingOn,
    EditingOff,
    EditingOnMailPage,  // after EditingOn while the mail page is active
    OnlyDefaultListed,  // after an editing switch: the list holds only the default setting
    ServersListed,      // after an editing switch: the list holds servers
    WatchPageActive,
    OtherPageActive,
    DefaultSelected,      // after EditingOn
    FetchedSelected,      // after EditingOn
    NotFetchedSelected,   // after EditingOff
    ServerAddedByDialog,  // after EditingOn
    ServerDiscovered,
    PopupOnFile,
    PopupOnOther,
};

using EnabledFlags = std::array<bool, kControlCount>;

// Applies the event's row of the table to `flags`; controls the row does not name keep
// their state.
void ApplyEnablingRule(UiEvent event, EnabledFlags& flags);

}  // namespace kv::app
