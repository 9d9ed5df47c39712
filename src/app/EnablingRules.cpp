#include "app/EnablingRules.h"

#include <utility>
#include <vector>

namespace kv::app {

namespace {

using C = Control;
using Effects = std::vector<std::pair<Control, bool>>;

struct Rule {
    UiEvent event;
    Effects effects;
};

constexpr bool on = true;
constexpr bool off = false;

Effects All(std::initializer_list<Control> controls, bool state) {
    Effects effects;
    for (const Control control : controls) {
        effects.emplace_back(control, state);
    }
    return effects;
}

Effects operator+(Effects a, const Effects& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// What the editing switch governs, on or off with it.
Effects Editing(bool state) {
    return All({C::BtnLineCopy, C::BtnLinePast, C::BtnLineDel, C::BtnImport, C::BtnExport,
                C::BtnGrdSave, C::BtnGrdAllSave, C::MenLineCopy, C::MenLinePast, C::MenLineDel,
                C::MenGrdSave, C::PagWatch, C::ValLogIndex},
               state);
}

Effects RowButtons(bool state) {
    return All({C::BtnLineCopy, C::BtnLinePast, C::BtnLineDel, C::BtnImport, C::BtnExport}, state);
}

Effects RowMenus(bool state) {
    return All({C::MenLineCopy, C::MenLinePast, C::MenLineDel}, state);
}

Effects ServerCommands(bool state) {
    return All({C::BtnGrdReload, C::BtnServerDel, C::BtnReload}, state);
}

Effects FileEntries(bool state) {
    return All({C::PopMenu2, C::PopMenu3, C::PopMenu4, C::PopMenu5}, state);
}

// The event/effect table of the window's enabling rules.
const std::vector<Rule>& Rules() {
    static const std::vector<Rule> rules{
        {UiEvent::Start, FileEntries(off)},
        {UiEvent::FirstShowing, ServerCommands(off) + Effects{{C::BtnDefaultSet, on}}},
        {UiEvent::EditingOn, Editing(on)},
        {UiEvent::EditingOff, Editing(off)},
        {UiEvent::EditingOnMailPage, RowButtons(off) + RowMenus(off)},
        {UiEvent::OnlyDefaultListed, ServerCommands(off)},
        {UiEvent::ServersListed, ServerCommands(on)},
        {UiEvent::WatchPageActive, RowButtons(on)},
        {UiEvent::OtherPageActive, RowButtons(off)},
        {UiEvent::DefaultSelected, ServerCommands(off) + Effects{{C::BtnDefaultSet, on}}},
        {UiEvent::FetchedSelected, ServerCommands(on) + Effects{{C::BtnDefaultSet, off}}},
        {UiEvent::NotFetchedSelected, {{C::BtnDefaultSet, off}}},
        {UiEvent::ServerAddedByDialog,
         {{C::BtnServerDel, on}, {C::BtnReload, on}, {C::BtnDefaultSet, off}}},
        {UiEvent::ServerDiscovered, {{C::BtnServerDel, on}, {C::BtnReload, on}}},
        {UiEvent::PopupOnFile, Effects{{C::PopMenu1, on}} + FileEntries(on)},
        {UiEvent::PopupOnOther, Effects{{C::PopMenu1, on}} + FileEntries(off)},
    };
    return rules;
}

}  // namespace

void ApplyEnablingRule(UiEvent event, EnabledFlags& flags) {
    for (const Rule& rule : Rules()) {
        if (rule.event != event) {
            continue;
        }
        for (const auto& [control, enabled] : rule.effects) {
            flags[static_cast<std::size_t>(control)] = enabled;
        }
    }
}

}  // namespace kv::app
