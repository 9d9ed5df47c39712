#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv::app {

class ManagerModel;

enum class CommandId : std::uint8_t {
    AutoSearch,
    AddServer,
    ServerDel,
    Reload,
    Save,
    Close,
    LineCopy,
    LinePast,
    LineDel,
    GrdReload,
    GrdSave,
    GrdAllReload,
    GrdAllSave,
    DefaultSet,
    Import,
    Export,
    Help,
    Version,
    TreeFetch,           // PopMenu1
    TreeReplaceFile,     // PopMenu2
    TreeReplaceCommand,  // PopMenu3
    TreeAddFile,         // PopMenu4
    TreeViewFile,        // PopMenu5
    CellCut,             // the cell editor's own actions, run by the window
    CellCopy,
    CellPaste,
    CellDelete,
};
inline constexpr std::size_t kCommandCount = static_cast<std::size_t>(CommandId::CellDelete) + 1;

// Controls whose enabled state the program changes; every other control stays enabled.
enum class Control : std::uint8_t {
    BtnReload,
    BtnServerDel,
    BtnGrdReload,
    BtnDefaultSet,
    BtnLineCopy,
    BtnLinePast,
    BtnLineDel,
    BtnImport,
    BtnExport,
    BtnGrdSave,
    BtnGrdAllSave,
    MenLineCopy,
    MenLinePast,
    MenLineDel,
    MenGrdSave,
    PagWatch,
    ValLogIndex,
    PopMenu1,
    PopMenu2,
    PopMenu3,
    PopMenu4,
    PopMenu5,
};
inline constexpr std::size_t kControlCount = static_cast<std::size_t>(Control::PopMenu5) + 1;

// The control's name as the window calls it, e.g. "BtnReload".
std::string_view ControlName(Control control);

enum class Menu : std::uint8_t { None, File, Edit, Help };

// One command with every place it shows up. Texts are Shift_JIS; empty when the command
// has no such place.
struct CommandInfo {
    CommandId Id;
    std::string ButtonName;  // tool button, e.g. "BtnReload"
    std::string Hint;        // tool tip of the button
    Menu MainMenu = Menu::None;
    std::string MenuName;      // e.g. "MenLineCopy"
    std::string MenuCaption;   // entry of the main menu
    std::string PopupCaption;  // entry of the tree popup or the grid popup
    std::string Accelerator;   // "F1", "Ctrl+X", ...
    // Controls whose enabled state gates this command where it is shown.
    std::optional<Control> ButtonControl;
    std::optional<Control> MenuControl;
    std::optional<Control> PopupControl;
    // The model's handler; null for the cell editor's actions (the window runs them on its
    // editor) and for Agent flows that are installed with ManagerModel::InstallFlow.
    void (*Handler)(ManagerModel&) = nullptr;
    // Name of the tool button's icon ("reload"); empty without a button.
    std::string Icon;
    // Runs while a request waits (it touches neither the server table, nor the current
    // server, nor the source of the pages); every other command is refused meanwhile.
    bool RunsWhileWaiting = false;
};

// The whole table, one row per CommandId, in CommandId order.
const std::vector<CommandInfo>& CommandTable();
const CommandInfo& CommandFor(CommandId id);

// Layout of bars and menus: a command, or a separator when Separator is true.
struct BarItem {
    CommandId Id = CommandId::AutoSearch;
    bool Separator = false;
};
struct MenuLayout {
    Menu Which;
    std::string Caption;  // "ファイル(&F)" ...
    std::vector<BarItem> Items;
};
const std::vector<MenuLayout>& MainMenuLayout();
const std::vector<BarItem>& MainToolBarLayout();  // ToolBar1, after EdtServerName
const std::vector<BarItem>& GridToolBarLayout();  // TolGrd
const std::vector<BarItem>& TreePopupLayout();    // PopTreeMenu
const std::vector<BarItem>& GridPopupLayout();

}  // namespace kv::app
