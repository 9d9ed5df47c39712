#include "app/ManagerModel.h"

#include <algorithm>
#include <stdexcept>

#include "agent/HttpException.h"
#include "app/EnablingRules.h"
#include "settings/DefaultSettingStore.h"
#include "text/Cp932.h"

namespace kv::app {

namespace {

constexpr ChangeMask kEverything = ~ChangeMask{0};

}  // namespace

const std::string& ManagerModel::ApplicationTitle() {
    static const std::string title = "Kestrelview Manager Ver2.00";
    return title;
}

std::string ManagerModel::CommunicationFailureText() {
    return settings::FetchAndSave::CommunicationFailedMessage();
}

const std::string& ManagerModel::ManualUrl() {
    static const std::string url = "https://www.brindlecove.example/kestrelview/support.html";
    return url;
}

ManagerModel::ManagerModel(UserPort& ui, std::string dataDir)
    : ui_(ui),
      dataDir_(std::move(dataDir)),
      table_([this](ChangeMask what) { Notify(what); }),
      pages_(ui, [this](ChangeMask what) { Notify(what); }),
      log_(requests_, table_, [this](ChangeMask what) { Notify(what); }),
      paneActions_(*this),
      settings_(*this, table_) {
    enabled_.fill(true);
    ApplyEnablingRule(UiEvent::Start, enabled_);
}

void ManagerModel::Raise(std::initializer_list<UiEvent> events) {
    const EnabledFlags before = enabled_;
    for (const UiEvent event : events) {
        ApplyEnablingRule(event, enabled_);
    }
    if (enabled_ != before) {
        Notify(Change::Enabling);
    }
}

void ManagerModel::SetRequestPort(RequestPort* requests) {
    requests_.SetPort(requests);
    requests_.ApplyConnection(connection_.User(), connection_.Password(), connection_.AgentPort());
}

const std::string& ManagerModel::BusyText() {
    static const std::string text =
        text::Sjis("通信中のため実行できません。通信が終わってからもう一度実行してください。");
    return text;
}

bool ManagerModel::RefusedWhileWaiting() {
    if (!requests_.Waiting()) {
        return false;
    }
    SetStatusText(BusyText());
    return true;
}

void ManagerModel::AddObserver(ModelObserver* observer) {
    observers_.push_back(observer);
}

void ManagerModel::RemoveObserver(ModelObserver* observer) {
    std::erase(observers_, observer);
}

void ManagerModel::Notify(ChangeMask what) {
    const std::vector<ModelObserver*> observers = observers_;
    for (ModelObserver* observer : observers) {
        observer->ModelChanged(what);
    }
}

// ---- Life of the window ------------------------------------------------------------

void ManagerModel::FormCreate() {
    try {
        pages_.Clear();
        page_ = Page::Watch;
        table_.Load(ServerListPath());
        serverListFile_.Remember({ServerListPath()});
        settings::DefaultSetting loaded = settings_.LoadDefaults(dataDir_);
        table_.ListInPane();
        selected_ = agent::NodeTree::kNone;
        if (Servers().Count() > 0) {
            const store::TServerTree& entry = Servers().Entry(0);
            currentServer_ = entry.IPAddress;
            pages_.ShowDefault(entry.Key, loaded.Rows, std::move(loaded.Mail), entry.ServerName);
            table_.StoreEditedSetting(0, std::move(loaded.SettingText));
        }
    } catch (const std::exception&) {
        // The window opens with what was prepared so far.
    }
    Notify(kEverything & ~(Change::LogScrollToEnd | Change::LogActivated));
}

void ManagerModel::FormShow() {
    requests_.ApplyConnection(connection_.User(), connection_.Password(), connection_.AgentPort());
    SuspendSelectionReaction();
    Raise({UiEvent::FirstShowing});
    SetLogTabVisible(false);
    ui_.MoveFocus(FocusTarget::Pane);
    SelectNode(ServerNode(0));
    ResumeSelectionReaction();
    Notify(Change::Selection);
    for (const std::string& notice : settings_.DefaultNotices()) {
        ui_.ShowMessage(notice);
    }
}

bool ManagerModel::FormCloseQuery() {
    // Closing now would destroy what the waiting request writes into.
    if (RefusedWhileWaiting()) {
        return false;
    }
    switch (
        ui_.AskYesNoCancel(text::Sjis("サーバ一覧を保存して終了しますか？\r\n"
                                      "「No」を選択すると設定を保存せずに終了します。\r\n"
                                      "よろしいですか？"))) {
        case YesNoCancel::Cancel:
            return false;
        case YesNoCancel::No:
            return true;
        case YesNoCancel::Yes:
            break;
    }
    try {
        // Declining to overwrite another program's change keeps the window open, so that
        // the user can still leave with No.
        return SaveServerList();
    } catch (const std::exception&) {
        // The old file is intact; staying open lets the user try again or leave with No.
        ui_.ShowMessage(text::Sjis("システムエラーが発生いたしました。（FormCloseQuery)"));
        return false;
    }
}

// ---- Commands ----------------------------------------------------------------------

void ManagerModel::Execute(CommandId id) {
    if (!windowEnabled_) {
        return;
    }
    const CommandInfo& info = CommandFor(id);
    if (!info.RunsWhileWaiting && RefusedWhileWaiting()) {
        return;
    }
    try {
        if (info.Handler != nullptr) {
            info.Handler(*this);
        } else if (const auto& flow = flows_[static_cast<std::size_t>(id)]) {
            flow();
        }
    } catch (const agent::EClientBusy&) {
        SetStatusText(BusyText());
    } catch (const std::exception& failure) {
        ui_.ReportError(failure.what());
    }
}

bool ManagerModel::HasHandler(CommandId id) const {
    return CommandFor(id).Handler != nullptr ||
           static_cast<bool>(flows_[static_cast<std::size_t>(id)]);
}

void ManagerModel::InstallFlow(CommandId id, std::function<void()> flow) {
    flows_[static_cast<std::size_t>(id)] = std::move(flow);
}

// ---- State ---------------------------------------------------------------------------

void ManagerModel::AddDiscoveredServers(
    const std::function<std::vector<std::size_t>(store::ServerList&)>& admit) {
    if (table_.AddDiscovered(admit)) {
        Raise({UiEvent::ServerDiscovered});
    }
}

void ManagerModel::SetLogTabVisible(bool visible) {
    if (logTabVisible_ == visible) {
        return;
    }
    logTabVisible_ = visible;
    Notify(Change::LogTab);
    if (!visible && page_ == Page::Log) {
        ChangePage(Page::Watch);
    }
}

void ManagerModel::SetStatusText(std::string text) {
    statusText_ = std::move(text);
    Notify(Change::Status);
}

void ManagerModel::SetProgress(int position) {
    progress_ = std::clamp(position, 0, StatusLayout::kProgressMax);
    Notify(Change::Progress);
}

void ManagerModel::StepProgress() {
    if (progress_ < StatusLayout::kProgressMax) {
        SetProgress(progress_ + 1);
    }
}

void ManagerModel::SetAnimation(bool running) {
    animation_ = running;
    Notify(Change::Animation);
}

void ManagerModel::SetMainWindowEnabled(bool enabled) {
    windowEnabled_ = enabled;
    Notify(Change::WindowEnabled);
}

void ManagerModel::SetCurrentServer(std::string address) {
    currentServer_ = std::move(address);
    Notify(Change::CurrentServer);
}

void ManagerModel::MoveSelectionTo(agent::NodeTree::Id node) {
    SuspendSelectionReaction();
    SelectNode(node);
    ResumeSelectionReaction();
    Notify(Change::Selection);
}

void ManagerModel::SuspendSelectionReaction() {
    ++selectionSuspended_;
}

void ManagerModel::ResumeSelectionReaction() {
    if (selectionSuspended_ > 0) {
        --selectionSuspended_;
    }
}

// ---- Selection and the watch pages ---------------------------------------------------

void ManagerModel::SelectNode(agent::NodeTree::Id node) {
    if (node == selected_) {
        return;
    }
    const agent::NodeTree::Id previous = selected_;
    selected_ = Pane().IsAlive(node) ? node : agent::NodeTree::kNone;
    if (selectionSuspended_ > 0 || selected_ == agent::NodeTree::kNone) {
        return;
    }
    const agent::NodeTree::Id server = Pane().TopLevelAncestor(selected_);
    const std::size_t index = Pane().Row(server);
    if (Pane().Caption(server) == currentServer_) {
        return;
    }
    if (requests_.Waiting()) {
        // The pages stay with the server whose request waits; the pane shows it again.
        selected_ = previous;
        SetStatusText(BusyText());
        Notify(Change::Selection);
        return;
    }
    CaptureShownSetting();
    SetCurrentServer(Pane().Caption(server));
    ClearWatchPage();
    const bool known = index < Servers().Count();
    const bool isDefault = IsDefaultNode(server);
    if (!IsLoaded(server) && !isDefault) {
        SetWatchEditing(false);
        SetServerNameText(known ? Servers().Entry(index).ServerName : std::string());
        Raise({UiEvent::NotFetchedSelected});
        return;
    }
    SetWatchEditing(true);
    Raise({isDefault ? UiEvent::DefaultSelected : UiEvent::FetchedSelected});
    SetLogTabVisible(!isDefault);
    if (!known) {
        return;
    }
    try {
        ShowWatchSetting(server, index);
    } catch (const agent::EClientBusy&) {
        SetStatusText(BusyText());
    } catch (const std::exception& failure) {
        ui_.ReportError(failure.what());
    }
}

void ManagerModel::ClearWatchPage() {
    pages_.Clear();
    log_.Clear();
}

void ManagerModel::ReplaceRows(const std::vector<settings::WatchRow>& rows) {
    pages_.ReplaceRows(rows);
    log_.Clear();
}

void ManagerModel::SetWatchEditing(bool enabled) {
    watchEditing_ = enabled;
    pages_.SetCurrentCell(1, enabled ? 1 : 2);
    const UiEvent list =
        Servers().Count() > 1 ? UiEvent::ServersListed : UiEvent::OnlyDefaultListed;
    if (!enabled) {
        Raise({UiEvent::EditingOff, list});
    } else if (page_ == Page::Message) {
        Raise({UiEvent::EditingOn, UiEvent::EditingOnMailPage, list});
    } else {
        Raise({UiEvent::EditingOn, list});
    }
    Notify(Change::Enabling | Change::CurrentCell);
}

void ManagerModel::ShowWatchSetting(agent::NodeTree::Id serverNode, std::size_t index) {
    WatchPages::Shown shown = pages_.Show(Servers().Entry(index), index == 0);
    if (shown.ServerName) {
        table_.Rename(index, std::move(*shown.ServerName));
    }
    if (shown.HasLogLine) {
        log_.Show(index, shown.LogPath, page_ == Page::Log, [this] { return pages_.ShownKey(); });
    }
    if (!IsLoaded(serverNode) && !IsDefaultNode(serverNode)) {
        MarkLoaded(serverNode);
    }
    if (IsEnabled(Control::PagWatch) != shown.HasSetting) {
        SetWatchEditing(shown.HasSetting);
    }
}

void ManagerModel::CaptureShownSetting() {
    if (const auto index = Servers().IndexOfKey(pages_.ShownKey())) {
        CaptureWatchSetting(*index);
    }
}

bool ManagerModel::CaptureWatchSetting(std::size_t index) {
    if (index >= Servers().Count()) {
        return false;
    }
    std::optional<std::string> text = pages_.Capture(Servers().Entry(index));
    if (text) {
        table_.StoreEditedSetting(index, std::move(*text));
    }
    return text.has_value();
}

// ---- Frame actions -------------------------------------------------------------------

void ManagerModel::ChangePage(Page page) {
    if (page == page_) {
        return;
    }
    page_ = page;
    Raise({page == Page::Watch ? UiEvent::WatchPageActive : UiEvent::OtherPageActive});
    ChangeMask changed = Change::ActivePage | Change::Enabling;
    if (page == Page::Log) {
        changed = changed | Change::LogActivated;
    }
    Notify(changed);
}

void ManagerModel::MoveSplitter(int treeWidth) {
    layout_.SplitterMoved(treeWidth);
    Notify(Change::Layout);
}

void ManagerModel::ApplyConnection() {
    requests_.ApplyConnection(connection_.User(), connection_.Password(), connection_.AgentPort());
    Notify(Change::Connection);
}

void ManagerModel::ChangePort(std::string_view text) {
    switch (connection_.SetPort(text)) {
        case agent::ConnectionSettings::PortResult::Unchanged:
            return;
        case agent::ConnectionSettings::PortResult::Accepted:
            ApplyConnection();
            return;
        case agent::ConnectionSettings::PortResult::Refused:
            ui_.ShowMessage(agent::ConnectionSettings::PortRangeMessage());
            // The item shows the old text again.
            Notify(Change::Connection);
            return;
    }
}

void ManagerModel::ChooseLogDay(std::size_t index) {
    if (RefusedWhileWaiting()) {
        Notify(Change::LogIndex);
        return;
    }
    log_.ChooseDay(index, currentServer_, [this] { return pages_.ShownKey(); });
}

// ---- The pane ------------------------------------------------------------------------

void ManagerModel::RunFlow(CommandId id) {
    if (const auto& flow = flows_[static_cast<std::size_t>(id)]) {
        flow();
    }
}

void ManagerModel::DeleteSelectedServer() {
    if (!Pane().IsAlive(selected_)) {
        return;
    }
    const agent::NodeTree::Id server = Pane().TopLevelAncestor(selected_);
    if (IsDefaultNode(server)) {
        return;
    }
    const std::size_t index = Pane().Row(server);
    const std::string caption = Pane().Caption(server);
    if (!ui_.ConfirmOkCancel(text::Sjis("サーバ一覧から ") + caption +
                             text::Sjis("を削除します。\r\nよろしいですか？"))) {
        return;
    }
    // The pages shown belong to the first entry of the current address. When that is the
    // deleted one they go with it: capturing them later would put them into another entry
    // of the same address.
    if (Servers().IndexOf(currentServer_) == index) {
        currentServer_.clear();
    }
    const std::size_t count = Pane().ChildCount(agent::NodeTree::kNone);
    const agent::NodeTree::Id neighbour = index + 1 < count ? ServerNode(index + 1)
                                          : index > 0       ? ServerNode(index - 1)
                                                            : agent::NodeTree::kNone;
    selected_ = agent::NodeTree::kNone;
    table_.Remove(server);
    Notify(Change::Selection | Change::CurrentServer);
    SelectNode(neighbour);
    Notify(Change::Selection);
}

std::string ManagerModel::ServerListPath() const {
    return dataDir_ + std::string(settings::kServerListFile);
}

bool ManagerModel::SaveServerList() {
    const std::string path = ServerListPath();
    return serverListFile_.Save(ui_, path, {path}, [&] { table_.Save(path); });
}

}  // namespace kv::app
