#include "app/ManagerModel.h"

#include <algorithm>
#include <stdexcept>

#include "agent/FileViewText.h"
#include "agent/LogPaths.h"
#include "app/RequestPort.h"
#include "settings/DefaultSettingStore.h"
#include "settings/ImportExport.h"
#include "text/Cp932.h"

namespace kv::app {

namespace {

constexpr ChangeMask kEverything = ~ChangeMask{0};

// The editing switch governs these.
constexpr std::array kEditingControls{
    Control::BtnLineCopy, Control::BtnLinePast, Control::BtnLineDel,    Control::BtnImport,
    Control::BtnExport,   Control::BtnGrdSave,  Control::BtnGrdAllSave, Control::MenLineCopy,
    Control::MenLinePast, Control::MenLineDel,  Control::MenGrdSave,    Control::PagWatch,
    Control::ValLogIndex,
};
// Row and import/export commands, usable on the watch page only.
constexpr std::array kRowButtons{Control::BtnLineCopy, Control::BtnLinePast, Control::BtnLineDel,
                                 Control::BtnImport, Control::BtnExport};
constexpr std::array kRowMenus{Control::MenLineCopy, Control::MenLinePast, Control::MenLineDel};

std::string CommunicationFailure() {
    return text::Sjis(
        "リモートサーバとの通信に失敗しました。\r\n"
        "リモートサーバでKestrelviewエージェントが起動しているか確認してください。");
}

// Why the setting text could not carry `text`, or empty when it can.
std::string Refusal(std::string_view text, bool lineBreaksAllowed, bool tabsAllowed) {
    if (text.find('"') != std::string_view::npos) {
        return text::Sjis("ダブルクォーテーション（\"）は入力できません。");
    }
    if (!lineBreaksAllowed && text.find_first_of("\r\n") != std::string_view::npos) {
        return text::Sjis("改行は入力できません。");
    }
    if (!tabsAllowed && text.find('\t') != std::string_view::npos) {
        return text::Sjis("本文にはタブ文字を入力できません。");
    }
    return {};
}

// Every line break of a typed body becomes CR LF, the form the setting text turns into TABs.
std::string NormalisedBody(std::string_view text) {
    std::string body;
    body.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            body += "\r\n";
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            body += text[i];
        }
    }
    return body;
}

// The dialog proposes its previous file name with the extension ".csv".
std::string WithCsvExtension(const std::string& name) {
    if (name.empty()) {
        return name;
    }
    const std::size_t slash = name.rfind('/');
    const std::size_t dot = name.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? name.substr(0, dot) : name) + ".csv";
}

class BusyCursor {
public:
    explicit BusyCursor(UserPort& ui) : ui_(ui) { ui_.SetBusyCursor(true); }
    ~BusyCursor() { ui_.SetBusyCursor(false); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    UserPort& ui_;
};

}  // namespace

const std::string& ManagerModel::ApplicationTitle() {
    static const std::string title = "Kestrelview Manager Ver2.00";
    return title;
}

const std::array<std::string, 4>& ManagerModel::LogChoices() {
    static const std::array<std::string, 4> choices{text::Sjis("最新"), text::Sjis("一日前"),
                                                    text::Sjis("二日前"), text::Sjis("三日前")};
    return choices;
}

std::string ManagerModel::CommunicationFailureText() {
    return CommunicationFailure();
}

const std::string& ManagerModel::ManualUrl() {
    static const std::string url = "https://www.brindlecove.example/kestrelview/support.html";
    return url;
}

ManagerModel::ManagerModel(UserPort& ui, std::string dataDir)
    : ui_(ui), dataDir_(std::move(dataDir)) {
    enabled_.fill(true);
    for (const Control popup :
         {Control::PopMenu2, Control::PopMenu3, Control::PopMenu4, Control::PopMenu5}) {
        enabled_[static_cast<std::size_t>(popup)] = false;
    }
}

void ManagerModel::SetRequestPort(RequestPort* requests) {
    requests_ = requests;
    if (requests_ != nullptr) {
        requests_->ApplyConnection(connection_.User(), connection_.Password(),
                                   connection_.AgentPort());
    }
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
        grid_.Clear();
        mail_.SMTPServer.clear();
        mail_.FromMailAddress.clear();
        serverNameText_.clear();
        page_ = Page::Watch;
        lineCopy_.clear();

        servers_.Load(dataDir_ + std::string(settings::kServerListFile));
        for (auto [table, name] : {std::pair{&rowsTable_, settings::kDefaultRowsFile},
                                   std::pair{&mailTable_, settings::kDefaultMailFile}}) {
            *table = store::TMlb2{};
            table->Separator = ",";
            table->QuoteChar = "\"";
            table->LoadFromFile(dataDir_ + std::string(name));
            table->First();
        }

        pane_.Clear();
        selected_ = agent::NodeTree::kNone;
        for (std::size_t i = 0; i < servers_.Count(); ++i) {
            store::TServerTree& entry = servers_.Entry(i);
            const agent::Picture picture =
                i == 0 ? agent::Picture::DefaultSetting : agent::Picture::ServerNotLoaded;
            pane_.Append(agent::NodeTree::kNone, entry.IPAddress, picture, picture);
            if (i == 0) {
                currentServer_ = entry.IPAddress;
                serverNameText_ = entry.ServerName;
                settings::DefaultSetting loaded =
                    settings::LoadDefaultSetting(rowsTable_, mailTable_);
                grid_.Fill(loaded.Rows);
                mail_ = std::move(loaded.Mail);
                entry.SettingText = std::move(loaded.SettingText);
                hiddenDefaultRecords_ = loaded.HiddenRecords;
            }
        }
    } catch (const std::exception&) {
        // The window opens with what was prepared so far.
    }
    Notify(kEverything & ~(Change::LogScrollToEnd | Change::LogActivated));
}

void ManagerModel::FormShow() {
    if (requests_ != nullptr) {
        requests_->ApplyConnection(connection_.User(), connection_.Password(),
                                   connection_.AgentPort());
    }
    SuspendSelectionReaction();
    SetControlEnabled(Control::BtnReload, false);
    SetControlEnabled(Control::BtnDefaultSet, true);
    SetControlEnabled(Control::BtnServerDel, false);
    SetControlEnabled(Control::BtnGrdReload, false);
    SetLogTabVisible(false);
    ui_.MoveFocus(FocusTarget::Pane);
    SelectNode(ServerNode(0));
    ResumeSelectionReaction();
    Notify(Change::Selection);
    if (hiddenDefaultRecords_ > 0) {
        ui_.ShowMessage(text::Sjis("Kestrelview.cnfには監視設定が") +
                        std::to_string(hiddenDefaultRecords_ + settings::kMaxWatchRows) +
                        text::Sjis("行あります。\r\n表示できるのは先頭の128行までです。"
                                   "表示されない行はファイルに残ります。"));
    }
}

bool ManagerModel::FormCloseQuery() {
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
        servers_.Save(dataDir_ + std::string(settings::kServerListFile));
    } catch (const std::exception&) {
        // The old file is intact; staying open lets the user try again or leave with No.
        ui_.ShowMessage(text::Sjis("システムエラーが発生いたしました。（FormCloseQuery)"));
        return false;
    }
    return true;
}

// ---- Commands ----------------------------------------------------------------------

void ManagerModel::Execute(CommandId id) {
    if (!windowEnabled_) {
        return;
    }
    const CommandInfo& info = CommandFor(id);
    try {
        if (info.Handler != nullptr) {
            (this->*info.Handler)();
        } else if (const auto& flow = flows_[static_cast<std::size_t>(id)]) {
            flow();
        }
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

void ManagerModel::SetControlEnabled(Control control, bool enabled) {
    bool& flag = enabled_[static_cast<std::size_t>(control)];
    if (flag != enabled) {
        flag = enabled;
        Notify(Change::Enabling);
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

void ManagerModel::SetServerNameText(std::string text) {
    serverNameText_ = std::move(text);
    Notify(Change::ServerName);
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
    selected_ = pane_.IsAlive(node) ? node : agent::NodeTree::kNone;
    if (selectionSuspended_ > 0 || selected_ == agent::NodeTree::kNone) {
        return;
    }
    const agent::NodeTree::Id server = pane_.TopLevelAncestor(selected_);
    const std::size_t index = pane_.Row(server);
    if (pane_.Caption(server) == currentServer_) {
        return;
    }
    if (const auto current = servers_.IndexOf(currentServer_)) {
        CaptureWatchSetting(*current);
    }
    SetCurrentServer(pane_.Caption(server));
    ClearWatchPage();
    const bool known = index < servers_.Count();
    const bool isDefault = IsDefaultNode(server);
    if (!IsLoaded(server) && !isDefault) {
        SetWatchEditing(false);
        SetServerNameText(known ? servers_.Entry(index).ServerName : std::string());
        SetControlEnabled(Control::BtnDefaultSet, false);
        return;
    }
    SetWatchEditing(true);
    SetControlEnabled(Control::BtnReload, !isDefault);
    SetControlEnabled(Control::BtnDefaultSet, isDefault);
    SetControlEnabled(Control::BtnServerDel, !isDefault);
    SetControlEnabled(Control::BtnGrdReload, !isDefault);
    SetLogTabVisible(!isDefault);
    if (!known) {
        return;
    }
    try {
        ShowWatchSetting(server, index);
    } catch (const std::exception& failure) {
        ui_.ReportError(failure.what());
    }
}

void ManagerModel::ClearWatchPage() {
    grid_.Clear();
    serverNameText_.clear();
    mail_ = settings::MailSetting{};
    logText_.clear();
    hiddenRows_.clear();
    hiddenRowsKept_ = false;
    Notify(Change::Grid | Change::ServerName | Change::Mail | Change::LogText);
}

void ManagerModel::SetWatchEditing(bool enabled) {
    for (const Control control : kEditingControls) {
        enabled_[static_cast<std::size_t>(control)] = enabled;
    }
    watchEditing_ = enabled;
    if (enabled) {
        grid_.SetCurrent(1, 1);
        // The log page offers no rows either.
        if (page_ != Page::Watch) {
            for (const Control control : kRowButtons) {
                enabled_[static_cast<std::size_t>(control)] = false;
            }
            for (const Control control : kRowMenus) {
                enabled_[static_cast<std::size_t>(control)] = false;
            }
        }
    } else {
        grid_.SetCurrent(1, 2);
    }
    const bool servers = servers_.Count() > 1;
    for (const Control control :
         {Control::BtnGrdReload, Control::BtnServerDel, Control::BtnReload}) {
        enabled_[static_cast<std::size_t>(control)] = servers;
    }
    Notify(Change::Enabling | Change::CurrentCell);
}

void ManagerModel::ShowWatchSetting(agent::NodeTree::Id serverNode, std::size_t index) {
    store::TServerTree& entry = servers_.Entry(index);
    SetServerNameText(entry.ServerName);
    const std::size_t lines = settings::SplitSettingLines(entry.SettingText).size();
    settings::WatchSetting setting = settings::ParseSettingText(entry.SettingText);
    if (setting.Rows.size() > settings::kMaxWatchRows) {
        hiddenRows_.assign(setting.Rows.begin() + settings::kMaxWatchRows, setting.Rows.end());
        setting.Rows.resize(settings::kMaxWatchRows);
    }
    for (std::size_t r = 0; r < setting.Rows.size(); ++r) {
        grid_.SetRow(r + 1, setting.Rows[r]);
    }
    ChangeMask changed = Change::Grid | Change::ServerName;
    if (lines >= 2) {
        mail_ = std::move(setting.Mail);
        serverNameText_ = setting.ServerName;
        entry.ServerName = std::move(setting.ServerName);
        changed = changed | Change::Mail | Change::Servers;
    }
    Notify(changed);
    if (!hiddenRows_.empty()) {
        ui_.ShowMessage(text::Sjis("この設定には監視設定が") +
                        std::to_string(hiddenRows_.size() + settings::kMaxWatchRows) +
                        text::Sjis("行あります。\r\n表示できるのは先頭の128行までです。"));
    }
    if (lines >= 1) {
        ShowLog(serverNode, entry, setting.LogPath);
    }
    if (!IsLoaded(serverNode) && !IsDefaultNode(serverNode)) {
        MarkLoaded(serverNode);
    }
    if (!IsEnabled(Control::PagWatch)) {
        SetWatchEditing(true);
    }
}

void ManagerModel::ShowLog(agent::NodeTree::Id serverNode, store::TServerTree& entry,
                           const std::optional<std::string>& logPath) {
    logIndex_ = 0;
    Notify(Change::LogIndex);
    const bool known = logPath && !logPath->empty();
    if (entry.CachedLog) {
        // The day choice must ask for this server's own logs, not the last fetched ones.
        logPaths_ = {};
        if (known) {
            try {
                logPaths_ = agent::LogPathList(*logPath);
            } catch (const std::runtime_error&) {
                // An undated name leaves the choices to their captions.
            }
        }
        logText_ = agent::PrepareFileViewText(*entry.CachedLog);
    } else if (!known) {
        // No log is known for this setting: nothing to fetch.
        logPaths_ = {};
        logText_.clear();
    } else {
        const std::array<std::string, 4> paths = agent::LogPathList(*logPath);
        if (requests_ == nullptr) {
            throw std::runtime_error(CommunicationFailure());
        }
        std::string reply = requests_->FetchFileView(pane_.Caption(serverNode), *logPath);
        logPaths_ = paths;
        logText_ = agent::PrepareFileViewText(reply);
        entry.CachedLog = std::move(reply);
    }
    ChangeMask changed = static_cast<ChangeMask>(Change::LogText);
    if (page_ == Page::Log) {
        changed = changed | Change::LogScrollToEnd;
    }
    Notify(changed);
}

bool ManagerModel::CaptureWatchSetting(std::size_t index) {
    if (index >= servers_.Count()) {
        return false;
    }
    std::vector<settings::WatchRow> rows = grid_.LeadingRows();
    if (!hiddenRows_.empty() && !hiddenRowsKept_) {
        if (ui_.ConfirmOkCancel(
                text::Sjis("表示されていない監視設定が") + std::to_string(hiddenRows_.size()) +
                text::Sjis("行あります。\r\nこれらの行を削除してよろしいですか？\r\n"
                           "「キャンセル」を選択すると、これらの行は残ります。"))) {
            hiddenRows_.clear();
        } else {
            hiddenRowsKept_ = true;
        }
    }
    rows.insert(rows.end(), hiddenRows_.begin(), hiddenRows_.end());
    store::TServerTree& entry = servers_.Entry(index);
    std::string text = settings::BuildSettingText(rows, mail_, entry.ServerName);
    // Keep the Agent's log path: without it a log that could not be fetched yet would
    // never be shown for this server again.
    const std::vector<std::string_view> lines = settings::SplitSettingLines(entry.SettingText);
    if (!lines.empty()) {
        const std::vector<std::string> log = settings::SplitCommaText(lines.back());
        if (!log.empty() && !log.front().empty()) {
            text.resize(text.size() - 2);
            text += "\"" + log.front() + "\"\r\n";
        }
    }
    entry.SettingText = std::move(text);
    return true;
}

std::function<bool(std::size_t)> ManagerModel::LoadedServers() const {
    return [this](std::size_t index) { return IsLoaded(ServerNode(index)); };
}

settings::FetchAndSave ManagerModel::Walks(settings::FetchAndSave::Reporter also) {
    settings::FetchAndSave::Requests requests{
        [this](std::string_view address, std::string& target) {
            return requests_ != nullptr && requests_->FetchWatchSetting(address, target);
        },
        [this](std::string_view address, const std::vector<std::string>& lines) {
            return requests_ != nullptr && requests_->SendWatchSetting(address, lines);
        }};
    return settings::FetchAndSave(
        servers_, std::move(requests),
        [this, also = std::move(also)](const settings::FetchAndSave::Report& report) {
            if (!report.Message.empty()) {
                ui_.ShowMessage(report.Message);
            }
            if (also) {
                also(report);
            }
        });
}

bool ManagerModel::UploadWatchSetting(std::size_t index) {
    return Walks().UploadWatchSetting(index) == settings::FetchAndSave::Outcome::Uploaded;
}

// ---- Typed input ---------------------------------------------------------------------

bool ManagerModel::EditCell(std::size_t row, std::size_t column, std::string_view text) {
    if (const std::string refusal = Refusal(text, false, true); !refusal.empty()) {
        ui_.ShowMessage(refusal);
        return false;
    }
    grid_.SetCell(row, column, std::string(text));
    Notify(Change::Grid);
    return true;
}

void ManagerModel::SetCurrentCell(std::size_t row, std::size_t column) {
    grid_.SetCurrent(row, column);
    Notify(Change::CurrentCell);
}

bool ManagerModel::EditMailField(std::string settings::MailSetting::*field, std::string text,
                                 bool multiLine) {
    if (const std::string refusal = Refusal(text, multiLine, !multiLine); !refusal.empty()) {
        ui_.ShowMessage(refusal);
        return false;
    }
    mail_.*field = multiLine ? NormalisedBody(text) : std::move(text);
    Notify(Change::Mail);
    return true;
}

bool ManagerModel::EditSubject(std::string_view text) {
    return EditMailField(&settings::MailSetting::MailSubject, std::string(text), false);
}

bool ManagerModel::EditBody(std::string_view text) {
    return EditMailField(&settings::MailSetting::MailBody, std::string(text), true);
}

bool ManagerModel::EditSmtpServer(std::string_view text) {
    return EditMailField(&settings::MailSetting::SMTPServer, std::string(text), false);
}

bool ManagerModel::EditFromAddress(std::string_view text) {
    return EditMailField(&settings::MailSetting::FromMailAddress, std::string(text), false);
}

// ---- Frame actions -------------------------------------------------------------------

void ManagerModel::ChangePage(Page page) {
    if (page == page_) {
        return;
    }
    page_ = page;
    for (const Control control : kRowButtons) {
        enabled_[static_cast<std::size_t>(control)] = page == Page::Watch;
    }
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
    if (requests_ != nullptr) {
        requests_->ApplyConnection(connection_.User(), connection_.Password(),
                                   connection_.AgentPort());
    }
    Notify(Change::Connection);
}

void ManagerModel::ChangeUser(std::string_view text) {
    if (connection_.SetUser(text)) {
        ApplyConnection();
    }
}

void ManagerModel::ChangePassword(std::string_view text) {
    if (connection_.SetPassword(text)) {
        ApplyConnection();
    }
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
    if (index >= LogChoices().size()) {
        return;
    }
    logIndex_ = index;
    const std::string& path = logPaths_[index].empty() ? LogChoices()[index] : logPaths_[index];
    try {
        if (requests_ == nullptr) {
            throw std::runtime_error(CommunicationFailure());
        }
        logText_ = agent::PrepareFileViewText(requests_->FetchFileView(currentServer_, path));
    } catch (const std::exception&) {
        logText_ = text::Sjis("ログファイルが存在しない可能性があります。");
    }
    Notify(Change::LogIndex | Change::LogText | Change::LogScrollToEnd);
}

// ---- The pane ------------------------------------------------------------------------

void ManagerModel::OpenTreePopup() {
    SetControlEnabled(Control::PopMenu1, true);
    const bool file = IsFileNode(selected_);
    for (const Control control :
         {Control::PopMenu2, Control::PopMenu3, Control::PopMenu4, Control::PopMenu5}) {
        SetControlEnabled(control, file);
    }
}

void ManagerModel::RunFlow(CommandId id) {
    if (const auto& flow = flows_[static_cast<std::size_t>(id)]) {
        flow();
    }
}

void ManagerModel::DoubleClickNode() {
    if (!windowEnabled_) {
        return;
    }
    try {
        if (IsFileNode(selected_)) {
            RunFlow(CommandId::TreeViewFile);
        } else if (pane_.IsAlive(selected_) && pane_.Parent(selected_) == agent::NodeTree::kNone &&
                   pane_.PictureOf(selected_) == agent::Picture::ServerNotLoaded) {
            RunFlow(CommandId::TreeFetch);
        }
    } catch (const std::exception& failure) {
        ui_.ReportError(failure.what());
    }
}

void ManagerModel::PopMenu1Click() {
    if (IsFileNode(selected_)) {
        RunFlow(CommandId::TreeViewFile);
    } else if (pane_.IsAlive(selected_) && pane_.Parent(selected_) == agent::NodeTree::kNone &&
               !IsDefaultNode(selected_)) {
        RunFlow(CommandId::TreeFetch);
    }
}

void ManagerModel::PopMenu5Click() {
    if (IsFileNode(selected_)) {
        RunFlow(CommandId::TreeViewFile);
    }
}

bool ManagerModel::CanDropOnGrid() const {
    return IsFileNode(selected_);
}

bool ManagerModel::PutTreePath(std::optional<std::size_t> row, std::size_t column) {
    if (!IsFileNode(selected_)) {
        return false;
    }
    if (!row) {
        ui_.ShowMessage(text::Sjis(
            "監視設定は128行までです。\r\n監視ファイルを追加できる空き行がありません。"));
        return false;
    }
    // An edit in progress in the target cell must not be committed over the path later.
    ui_.MoveFocus(FocusTarget::GridToolBar);
    return EditCell(*row, column, agent::RemotePath(pane_, selected_));
}

void ManagerModel::DropOnGrid() {
    const std::size_t column = grid_.CurrentColumn();
    if (column == 1 || column == WatchGrid::kColumns) {
        PutTreePath(grid_.CurrentRow(), column);
    } else {
        PutTreePath(grid_.FirstFreeRow(), 1);
    }
}

void ManagerModel::PopMenu2Click() {
    PutTreePath(grid_.CurrentRow(), 1);
    ChangePage(Page::Watch);
}

void ManagerModel::PopMenu3Click() {
    PutTreePath(grid_.CurrentRow(), WatchGrid::kColumns);
    ChangePage(Page::Watch);
}

void ManagerModel::PopMenu4Click() {
    PutTreePath(grid_.FirstFreeRow(), 1);
    ChangePage(Page::Watch);
}

void ManagerModel::BtnServerDelClick() {
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

// ---- Server list and frame commands ------------------------------------------------

void ManagerModel::BtnSaveClick() {
    if (ui_.ConfirmOkCancel(text::Sjis("サーバ一覧を保存します。\r\nよろしいですか？"))) {
        servers_.Save(dataDir_ + std::string(settings::kServerListFile));
    }
}

void ManagerModel::BtnCloseClick() {
    ui_.CloseMainWindow();
}

void ManagerModel::BtnHelpClick() {
    ui_.OpenWebPage(ManualUrl());
}

void ManagerModel::BtnVersionClick() {
    ui_.ShowVersionWindow();
}

// ---- Row commands ----------------------------------------------------------------------

void ManagerModel::BtnLineCopyClick() {
    ui_.MoveFocus(FocusTarget::GridToolBar);
    const settings::WatchRow row = grid_.Row(grid_.CurrentRow());
    lineCopy_ = {row.FileName, row.SearchString, row.SearchCount, row.MailAddress, row.Command};
    ui_.MoveFocus(FocusTarget::Grid);
}

void ManagerModel::BtnLinePastClick() {
    if (lineCopy_.size() != WatchGrid::kColumns) {
        return;
    }
    // Committing afterwards would put the editor's old text over the pasted cell.
    ui_.MoveFocus(FocusTarget::GridToolBar);
    grid_.SetRow(grid_.CurrentRow(), settings::WatchRow{lineCopy_[0], lineCopy_[1], lineCopy_[2],
                                                        lineCopy_[3], lineCopy_[4]});
    Notify(Change::Grid);
}

void ManagerModel::BtnLineDelClick() {
    ui_.MoveFocus(FocusTarget::GridToolBar);
    {
        const BusyCursor busy(ui_);
        grid_.DeleteRow(grid_.CurrentRow());
    }
    Notify(Change::Grid);
    ui_.MoveFocus(FocusTarget::Grid);
}

// ---- Saving settings ---------------------------------------------------------------

void ManagerModel::SaveDefaultFiles() {
    settings::SaveDefaultSetting(servers_.Entry(0).SettingText, rowsTable_, mailTable_, dataDir_,
                                 hiddenDefaultRecords_);
}

void ManagerModel::BtnGrdSaveClick() {
    const bool isDefault = currentServer_ == store::kDefaultSettingAddress;
    if (!ui_.ConfirmOkCancel(
            isDefault ? text::Sjis("デフォルト設定情報を保存します。\r\nよろしいですか？")
                      : text::Sjis("設定情報を選択されているリモートサーバへ保存します。\r\n"
                                   "よろしいですか？"))) {
        return;
    }
    ui_.MoveFocus(FocusTarget::GridToolBar);
    const std::optional<std::size_t> index = servers_.IndexOf(currentServer_);
    if (!index) {
        return;
    }
    CaptureWatchSetting(*index);
    if (isDefault && *index == 0) {
        SaveDefaultFiles();
    } else {
        UploadWatchSetting(*index);
    }
    ui_.MoveFocus(FocusTarget::Grid);
}

void ManagerModel::BtnGrdAllSaveClick() {
    if (!ui_.ConfirmOkCancel(
            text::Sjis("デフォルト設定とリモート接続されているサーバ設定をすべて保存"
                       "します。\r\nよろしいですか？"))) {
        return;
    }
    ui_.MoveFocus(FocusTarget::GridToolBar);
    if (const auto current = servers_.IndexOf(currentServer_)) {
        CaptureWatchSetting(*current);
    }
    Walks().SaveAll(LoadedServers(), [this](const std::string&) { SaveDefaultFiles(); });
}

void ManagerModel::BtnDefaultSetClick() {
    if (servers_.Count() == 0 || servers_.IndexOf(currentServer_) != 0) {
        return;
    }
    if (!ui_.ConfirmOkCancel(text::Sjis("デフォルトの設定を接続中のサーバに配布します。\r\n"
                                        "実行すると接続中のサーバの設定は消去されます。\r\n"
                                        "よろしいですか？"))) {
        return;
    }
    ui_.MoveFocus(FocusTarget::GridToolBar);
    CaptureWatchSetting(0);
    Walks().Distribute(LoadedServers(), [this](const std::string&) { SaveDefaultFiles(); });
}

// ---- Import and export -------------------------------------------------------------

void ManagerModel::BtnImportClick() {
    if (!ui_.ConfirmOkCancel(text::Sjis("ファイル監視設定をCSVファイルから読み込みます。\r\n"
                                        "この処理を行うと、現在の設定が消去されます。\r\n"
                                        "インポート処理を開始しますか？"))) {
        return;
    }
    FileDialogOptions options;
    options.DefaultExtension = "csv";
    options.Filters = {{"*.csv", "*.csv"}, {"*.txt", "*.txt"}, {"*.*", "*.*"}};
    options.FileName = WithCsvExtension(lastImportName_);
    const std::optional<std::string> path = ui_.ChooseOpenFile(options);
    if (!path) {
        return;
    }
    lastImportName_ = *path;
    settings::ImportResult result;
    {
        const BusyCursor busy(ui_);
        store::TMlb2 table;
        table.Separator = ",";
        table.QuoteChar = "\"";
        table.LoadFromFile(*path);
        result = settings::ImportWatchRows(table);
        ClearWatchPage();
        grid_.Fill(result.Rows);
        Notify(Change::Grid);
    }
    ui_.ShowMessage(settings::ImportSummary(result));
}

void ManagerModel::BtnExportClick() {
    FileDialogOptions options;
    options.DefaultExtension = "csv";
    options.Filters = {{"*.csv", "*.csv"}};
    options.FileName = WithCsvExtension(lastExportName_);
    const std::optional<std::string> path = ui_.ChooseSaveFile(options);
    if (!path) {
        return;
    }
    lastExportName_ = *path;
    ui_.MoveFocus(FocusTarget::GridToolBar);
    std::size_t count = 0;
    {
        const BusyCursor busy(ui_);
        settings::ExportWatchRows(grid_.AllRows(), count).SaveToFile(*path);
    }
    ui_.ShowMessage(settings::ExportMessage(count));
}

}  // namespace kv::app
