#include "app/ManagerModel.h"

#include <algorithm>
#include <stdexcept>

#include "agent/HttpException.h"
#include "app/EnablingRules.h"
#include "settings/DefaultSettingStore.h"
#include "store/FileLock.h"
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
      pages_(ui, [this](ChangeMask what) { Notify(what); }),
      log_(requests_, [this](ChangeMask what) { Notify(what); }),
      paneActions_(*this),
      settings_(*this) {
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
        servers_.Load(ServerListPath());
        serverListFile_.Remember({ServerListPath()});
        settings::DefaultSetting loaded = settings_.LoadDefaults(dataDir_);
        pane_.Clear();
        selected_ = agent::NodeTree::kNone;
        for (std::size_t i = 0; i < servers_.Count(); ++i) {
            store::TServerTree& entry = servers_.Entry(i);
            const agent::Picture picture =
                i == 0 ? agent::Picture::DefaultSetting : agent::Picture::ServerNotLoaded;
            pane_.Append(agent::NodeTree::kNone, entry.IPAddress, picture, picture);
            if (i == 0) {
                currentServer_ = entry.IPAddress;
                pages_.ShowDefault(entry.Key, loaded.Rows, std::move(loaded.Mail),
                                   entry.ServerName);
                entry.SettingText = std::move(loaded.SettingText);
            }
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

agent::NodeTree::Id ManagerModel::ServerNode(std::size_t index) const {
    const std::vector<agent::NodeTree::Id>& top = pane_.Children(agent::NodeTree::kNone);
    return index < top.size() ? top[index] : agent::NodeTree::kNone;
}

bool ManagerModel::IsLoaded(agent::NodeTree::Id node) const {
    return pane_.IsAlive(node) && pane_.PictureOf(node) == agent::Picture::ServerLoaded;
}

bool ManagerModel::IsDefaultNode(agent::NodeTree::Id node) const {
    return pane_.IsAlive(node) && pane_.PictureOf(node) == agent::Picture::DefaultSetting;
}

bool ManagerModel::IsFileNode(agent::NodeTree::Id node) const {
    return pane_.IsAlive(node) && pane_.PictureOf(node) == agent::Picture::File;
}

void ManagerModel::MarkLoaded(agent::NodeTree::Id node) {
    pane_.SetPictures(node, agent::Picture::ServerLoaded, agent::Picture::ServerLoaded);
    Notify(Change::PanePictures);
}

void ManagerModel::ClearServerTexts(std::size_t index) {
    store::TServerTree& entry = servers_.Entry(index);
    entry.TreeText.clear();
    entry.SettingText.clear();
    Notify(Change::Servers);
}

void ManagerModel::AddDiscoveredServers(
    const std::function<std::vector<std::size_t>(store::ServerList&)>& admit) {
    const std::vector<std::size_t> added = admit(servers_);
    if (added.empty()) {
        return;
    }
    for (const std::size_t index : added) {
        const store::TServerTree& entry = servers_.Entry(index);
        pane_.Append(agent::NodeTree::kNone, entry.IPAddress, agent::Picture::ServerNotLoaded,
                     agent::Picture::ServerNotLoaded);
    }
    Raise({UiEvent::ServerDiscovered});
    Notify(Change::Servers);
}

void ManagerModel::SetTreeText(std::size_t index, std::string text) {
    servers_.Entry(index).TreeText = std::move(text);
    Notify(Change::Servers);
}

void ManagerModel::SetSettingText(std::size_t index, std::string text) {
    store::TServerTree& entry = servers_.Entry(index);
    entry.SettingText = std::move(text);
    entry.CachedLog.reset();
    Notify(Change::Servers);
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
    selected_ = pane_.IsAlive(node) ? node : agent::NodeTree::kNone;
    if (selectionSuspended_ > 0 || selected_ == agent::NodeTree::kNone) {
        return;
    }
    const agent::NodeTree::Id server = pane_.TopLevelAncestor(selected_);
    const std::size_t index = pane_.Row(server);
    if (pane_.Caption(server) == currentServer_) {
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
    SetCurrentServer(pane_.Caption(server));
    ClearWatchPage();
    const bool known = index < servers_.Count();
    const bool isDefault = IsDefaultNode(server);
    if (!IsLoaded(server) && !isDefault) {
        SetWatchEditing(false);
        SetServerNameText(known ? servers_.Entry(index).ServerName : std::string());
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
    const UiEvent list = servers_.Count() > 1 ? UiEvent::ServersListed : UiEvent::OnlyDefaultListed;
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
    const WatchPages::Shown shown = pages_.Show(servers_.Entry(index), index == 0);
    if (shown.HasLogLine) {
        log_.Show(servers_, index, shown.LogPath, page_ == Page::Log,
                  [this] { return pages_.ShownKey(); });
    }
    if (!IsLoaded(serverNode) && !IsDefaultNode(serverNode)) {
        MarkLoaded(serverNode);
    }
    if (IsEnabled(Control::PagWatch) != shown.HasSetting) {
        SetWatchEditing(shown.HasSetting);
    }
}

void ManagerModel::CaptureShownSetting() {
    if (const auto index = servers_.IndexOfKey(pages_.ShownKey())) {
        pages_.Capture(servers_.Entry(*index));
    }
}

bool ManagerModel::CaptureWatchSetting(std::size_t index) {
    return index < servers_.Count() && pages_.Capture(servers_.Entry(index));
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
    if (!pane_.IsAlive(selected_)) {
        return;
    }
    const agent::NodeTree::Id server = pane_.TopLevelAncestor(selected_);
    if (IsDefaultNode(server)) {
        return;
    }
    const std::size_t index = pane_.Row(server);
    const std::string caption = pane_.Caption(server);
    if (!ui_.ConfirmOkCancel(text::Sjis("サーバ一覧から ") + caption +
                             text::Sjis("を削除します。\r\nよろしいですか？"))) {
        return;
    }
    // The pages shown belong to the first entry of the current address. When that is the
    // deleted one they go with it: capturing them later would put them into another entry
    // of the same address.
    if (servers_.IndexOf(currentServer_) == index) {
        currentServer_.clear();
    }
    if (index < servers_.Count()) {
        servers_.Delete(index);
    }
    const std::size_t count = pane_.ChildCount(agent::NodeTree::kNone);
    const agent::NodeTree::Id neighbour = index + 1 < count ? ServerNode(index + 1)
                                          : index > 0       ? ServerNode(index - 1)
                                                            : agent::NodeTree::kNone;
    pane_.Remove(server);
    selected_ = agent::NodeTree::kNone;
    Notify(Change::Servers | Change::Selection | Change::CurrentServer);
    SelectNode(neighbour);
    Notify(Change::Selection);
}

std::string ManagerModel::ServerListPath() const {
    return dataDir_ + std::string(settings::kServerListFile);
}

bool ManagerModel::SaveServerList() {
    const std::string path = ServerListPath();
    return serverListFile_.Save(ui_, path, {path}, [&] { servers_.Save(path); });
}

}  // namespace kv::app
