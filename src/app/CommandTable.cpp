#include "app/CommandTable.h"

#include <algorithm>
#include <array>
#include <utility>

#include "app/ManagerModel.h"
#include "text/Cp932.h"

namespace kv::app {

namespace {

constexpr std::array<std::string_view, kControlCount> kControlNames{
    "BtnReload",   "BtnServerDel", "BtnGrdReload", "BtnDefaultSet", "BtnLineCopy",   "BtnLinePast",
    "BtnLineDel",  "BtnImport",    "BtnExport",    "BtnGrdSave",    "BtnGrdAllSave", "MenLineCopy",
    "MenLinePast", "MenLineDel",   "MenGrdSave",   "PagWatch",      "ValLogIndex",   "PopMenu1",
    "PopMenu2",    "PopMenu3",     "PopMenu4",     "PopMenu5",
};

// One row in a compact form; texts in UTF-8 here, Shift_JIS in the table.
struct Row {
    CommandId id;
    std::string_view button;
    std::string_view hint;
    Menu menu;
    std::string_view menuName;
    std::string_view menuCaption;
    std::string_view popup;
    std::string_view accelerator;
    std::optional<Control> buttonControl;
    std::optional<Control> menuControl;
    std::optional<Control> popupControl;
    void (*handler)(ManagerModel&);
};

using M = ManagerModel;
constexpr std::nullopt_t kNo = std::nullopt;

const std::array<Row, kCommandCount> kRows{{
    {CommandId::AutoSearch, "BtnAutoSearch", "監視サーバ自動検索", Menu::File, "MenAutoSearch",
     "リモートサーバ自動検索", "", "", kNo, kNo, kNo, nullptr},
    {CommandId::AddServer, "BtnAddServer", "監視サーバ追加", Menu::File, "MenAddServer",
     "リモートサーバ追加", "", "", kNo, kNo, kNo, nullptr},
    {CommandId::ServerDel, "BtnServerDel", "監視サーバ削除", Menu::File, "MenServerDel",
     "リモートサーバ削除", "", "", Control::BtnServerDel, kNo, kNo,
     [](M& m) { m.DeleteSelectedServer(); }},
    {CommandId::Reload, "BtnReload", "サーバ情報の取得/再取得", Menu::File, "MenReload",
     "リモートサーバ情報更新", "", "", Control::BtnReload, kNo, kNo, nullptr},
    {CommandId::Save, "BtnSave", "監視サーバ保存", Menu::File, "MenSave", "サーバ一覧保存", "", "",
     kNo, kNo, kNo, [](M& m) { m.Settings().SaveServerList(); }},
    {CommandId::Close, "BtnClose", "終了", Menu::File, "MenClose", "終了(&X)", "", "", kNo, kNo,
     kNo, [](M& m) { m.Ui().CloseMainWindow(); }},
    {CommandId::LineCopy, "BtnLineCopy", "選択行コピー", Menu::Edit, "MenLineCopy", "選択行コピー",
     "選択行のコピー", "", Control::BtnLineCopy, Control::MenLineCopy, kNo,
     [](M& m) { m.CopyRow(); }},
    {CommandId::LinePast, "BtnLinePast", "コピー行貼り付け", Menu::Edit, "MenLinePast",
     "選択行貼り付け", "コピー行の貼り付け", "", Control::BtnLinePast, Control::MenLinePast, kNo,
     [](M& m) { m.PasteRow(); }},
    {CommandId::LineDel, "BtnLineDel", "選択行削除", Menu::Edit, "MenLineDel", "選択行削除",
     "選択行の削除", "", Control::BtnLineDel, Control::MenLineDel, kNo,
     [](M& m) { m.DeleteRow(); }},
    {CommandId::GrdReload, "BtnGrdReload", "設定情報取得", Menu::Edit, "MenGrdReload",
     "設定情報更新", "", "", Control::BtnGrdReload, kNo, kNo, nullptr},
    {CommandId::GrdSave, "BtnGrdSave", "設定情報保存", Menu::Edit, "MenGrdSave", "設定情報保存", "",
     "", Control::BtnGrdSave, Control::MenGrdSave, kNo,
     [](M& m) { m.Settings().SaveShownSetting(); }},
    {CommandId::GrdAllReload, "BtnGrdAllReload", "すべての設定情報の取得", Menu::None, "", "", "",
     "", kNo, kNo, kNo, nullptr},
    {CommandId::GrdAllSave, "BtnGrdAllSave", "設定情報を全て保存", Menu::None, "", "", "", "",
     Control::BtnGrdAllSave, kNo, kNo, [](M& m) { m.Settings().SaveAllSettings(); }},
    {CommandId::DefaultSet, "BtnDefaultSet", "デフォルト設定の配布", Menu::None, "", "", "", "",
     Control::BtnDefaultSet, kNo, kNo, [](M& m) { m.Settings().DistributeDefault(); }},
    {CommandId::Import, "BtnImport", "インポート", Menu::None, "", "", "", "", Control::BtnImport,
     kNo, kNo, [](M& m) { m.Settings().ImportRows(); }},
    {CommandId::Export, "BtnExport", "エクスポート", Menu::None, "", "", "", "", Control::BtnExport,
     kNo, kNo, [](M& m) { m.Settings().ExportRows(); }},
    {CommandId::Help, "BtnHelp", "マニュアルページを開く", Menu::Help, "MenHelp",
     "マニュアルページを開く", "", "F1", kNo, kNo, kNo,
     [](M& m) { m.Ui().OpenWebPage(M::ManualUrl()); }},
    {CommandId::Version, "BtnVersion", "バージョン", Menu::Help, "MenVersion", "バージョン(&A)", "",
     "", kNo, kNo, kNo, [](M& m) { m.Ui().ShowVersionWindow(); }},
    {CommandId::TreeFetch, "", "", Menu::None, "", "", "サーバ情報の取得/再取得", "", kNo, kNo,
     Control::PopMenu1, [](M& m) { m.PaneCommands().FetchOrViewSelected(); }},
    {CommandId::TreeReplaceFile, "", "", Menu::None, "", "", "選択行の監視ファイルと置き換える", "",
     kNo, kNo, Control::PopMenu2, [](M& m) { m.PaneCommands().ReplaceWatchFile(); }},
    {CommandId::TreeReplaceCommand, "", "", Menu::None, "", "", "選択行の実行コマンドと置き換える",
     "", kNo, kNo, Control::PopMenu3, [](M& m) { m.PaneCommands().ReplaceCommand(); }},
    {CommandId::TreeAddFile, "", "", Menu::None, "", "", "監視ファイルとして追加設定する", "", kNo,
     kNo, Control::PopMenu4, [](M& m) { m.PaneCommands().AddWatchFile(); }},
    {CommandId::TreeViewFile, "", "", Menu::None, "", "", "View File", "", kNo, kNo,
     Control::PopMenu5, [](M& m) { m.PaneCommands().ViewSelectedFile(); }},
    {CommandId::CellCut, "", "", Menu::None, "", "", "切り取り(&T)", "Ctrl+X", kNo, kNo, kNo,
     nullptr},
    {CommandId::CellCopy, "", "", Menu::None, "", "", "コピー(&C)", "Ctrl+C", kNo, kNo, kNo,
     nullptr},
    {CommandId::CellPaste, "", "", Menu::None, "", "", "貼り付け(&P)", "Ctrl+V", kNo, kNo, kNo,
     nullptr},
    {CommandId::CellDelete, "", "", Menu::None, "", "", "削除(&D)", "Del", kNo, kNo, kNo, nullptr},
}};

// Row edits, export, help and the question to the network change nothing a waiting
// request relies on.
constexpr std::array kRunWhileWaiting{
    CommandId::AutoSearch,  CommandId::LineCopy,        CommandId::LinePast,
    CommandId::LineDel,     CommandId::Export,          CommandId::Help,
    CommandId::Version,     CommandId::TreeReplaceFile, CommandId::TreeReplaceCommand,
    CommandId::TreeAddFile, CommandId::CellCut,         CommandId::CellCopy,
    CommandId::CellPaste,   CommandId::CellDelete,
};

// The tool buttons' icons.
constexpr std::pair<CommandId, std::string_view> kIcons[] = {
    {CommandId::AutoSearch, "auto-search"},
    {CommandId::AddServer, "add-server"},
    {CommandId::ServerDel, "server-del"},
    {CommandId::Reload, "reload"},
    {CommandId::Save, "save"},
    {CommandId::Close, "close"},
    {CommandId::LineCopy, "line-copy"},
    {CommandId::LinePast, "line-paste"},
    {CommandId::LineDel, "line-del"},
    {CommandId::GrdReload, "grd-reload"},
    {CommandId::GrdSave, "grd-save"},
    {CommandId::GrdAllReload, "grd-all-reload"},
    {CommandId::GrdAllSave, "grd-all-save"},
    {CommandId::DefaultSet, "default-set"},
    {CommandId::Import, "import"},
    {CommandId::Export, "export"},
    {CommandId::Help, "help"},
    {CommandId::Version, "version"},
};

std::string IconOf(CommandId id) {
    for (const auto& [command, icon] : kIcons) {
        if (command == id) {
            return std::string(icon);
        }
    }
    return {};
}

std::vector<CommandInfo> BuildTable() {
    std::vector<CommandInfo> table;
    table.reserve(kRows.size());
    for (const Row& row : kRows) {
        table.push_back(CommandInfo{
            .Id = row.id,
            .ButtonName = std::string(row.button),
            .Hint = text::Sjis(row.hint),
            .MainMenu = row.menu,
            .MenuName = std::string(row.menuName),
            .MenuCaption = text::Sjis(row.menuCaption),
            .PopupCaption = text::Sjis(row.popup),
            .Accelerator = std::string(row.accelerator),
            .ButtonControl = row.buttonControl,
            .MenuControl = row.menuControl,
            .PopupControl = row.popupControl,
            .Handler = row.handler,
            .Icon = IconOf(row.id),
            .RunsWhileWaiting = std::find(kRunWhileWaiting.begin(), kRunWhileWaiting.end(),
                                          row.id) != kRunWhileWaiting.end(),
        });
    }
    return table;
}

constexpr BarItem kSeparator{CommandId::AutoSearch, true};
constexpr BarItem Item(CommandId id) {
    return BarItem{id, false};
}

}  // namespace

std::string_view ControlName(Control control) {
    return kControlNames.at(static_cast<std::size_t>(control));
}

const std::vector<CommandInfo>& CommandTable() {
    static const std::vector<CommandInfo> table = BuildTable();
    return table;
}

const CommandInfo& CommandFor(CommandId id) {
    return CommandTable().at(static_cast<std::size_t>(id));
}

const std::vector<MenuLayout>& MainMenuLayout() {
    using C = CommandId;
    static const std::vector<MenuLayout> menus{
        {Menu::File,
         text::Sjis("ファイル(&F)"),
         {Item(C::AutoSearch), Item(C::AddServer), Item(C::ServerDel), Item(C::Reload), kSeparator,
          Item(C::Save), kSeparator, Item(C::Close)}},
        {Menu::Edit,
         text::Sjis("編集(&E)"),
         {Item(C::LineCopy), Item(C::LinePast), Item(C::LineDel), kSeparator, Item(C::GrdReload),
          kSeparator, Item(C::GrdSave)}},
        {Menu::Help, text::Sjis("ヘルプ(&H)"), {Item(C::Help), Item(C::Version)}},
    };
    return menus;
}

const std::vector<BarItem>& MainToolBarLayout() {
    using C = CommandId;
    static const std::vector<BarItem> items{
        Item(C::AutoSearch), Item(C::AddServer), Item(C::ServerDel), Item(C::Reload),
        kSeparator,          Item(C::Save),      kSeparator,         Item(C::Version),
        Item(C::Help),       kSeparator,         Item(C::Close),
    };
    return items;
}

const std::vector<BarItem>& GridToolBarLayout() {
    using C = CommandId;
    static const std::vector<BarItem> items{
        Item(C::LineCopy), Item(C::LinePast),   Item(C::LineDel),
        kSeparator,        Item(C::Import),     Item(C::Export),
        kSeparator,        Item(C::GrdReload),  Item(C::GrdAllReload),
        kSeparator,        Item(C::GrdSave),    Item(C::GrdAllSave),
        kSeparator,        Item(C::DefaultSet),
    };
    return items;
}

const std::vector<BarItem>& TreePopupLayout() {
    using C = CommandId;
    static const std::vector<BarItem> items{
        Item(C::TreeFetch),   kSeparator, Item(C::TreeReplaceFile), Item(C::TreeReplaceCommand),
        Item(C::TreeAddFile), kSeparator, Item(C::TreeViewFile),
    };
    return items;
}

const std::vector<BarItem>& GridPopupLayout() {
    using C = CommandId;
    static const std::vector<BarItem> items{
        Item(C::CellCut), Item(C::CellCopy), Item(C::CellPaste), Item(C::CellDelete),
        kSeparator,       Item(C::LineCopy), Item(C::LinePast),  Item(C::LineDel),
    };
    return items;
}

}  // namespace kv::app
