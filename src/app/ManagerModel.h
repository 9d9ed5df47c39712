#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "agent/ConnectionSettings.h"
#include "agent/NodeTree.h"
#include "app/ChangedFiles.h"
#include "app/CommandTable.h"
#include "app/EnablingRules.h"
#include "app/LogView.h"
#include "app/ModelObserver.h"
#include "app/PaneActions.h"
#include "app/RequestGate.h"
#include "app/ServerTable.h"
#include "app/SettingCommands.h"
#include "app/StatusLayout.h"
#include "app/UserPort.h"
#include "app/WatchPages.h"
#include "settings/FetchAndSave.h"

namespace kv::app {

// The Manager's main window without widgets: it holds the state the window shows (server
// table, pane, current server, enabling, status) and dispatches the command table to its
// parts: the watch pages, the log view, the pane actions and the setting commands. The
// window binds its widgets to the accessors, forwards user actions and repaints on
// ModelChanged. Texts are Shift_JIS.
// Errors: a command's failure that it does not handle itself reaches the user as the
// error report (UserPort::ReportError); a command refused while a request waits says so
// in the status bar; EClientBusy never becomes a message box.
class ManagerModel {
public:
    enum class Page { Watch = 0, Message = 1, Log = 2 };

    // "Kestrelview Manager Ver2.00"
    static const std::string& ApplicationTitle();
    static const std::array<std::string, 4>& LogChoices() { return LogView::Choices(); }
    static const std::string& ManualUrl();
    // The message box of a flow that could not reach its Agent.
    static std::string CommunicationFailureText();
    // The status text of a command refused while a request waits.
    static const std::string& BusyText();

    // `dataDir` ends in "/" (see ResolveDataDirectory).
    ManagerModel(UserPort& ui, std::string dataDir);
    ManagerModel(const ManagerModel&) = delete;
    ManagerModel& operator=(const ManagerModel&) = delete;

    // The Agent requests; without one (nullptr), every request fails as a lost connection.
    void SetRequestPort(RequestPort* requests);
    RequestGate& Requests() { return requests_; }
    // True, with BusyText() in the status bar, when a request waits.
    bool RefusedWhileWaiting();
    UserPort& Ui() const { return ui_; }
    void AddObserver(ModelObserver* observer);
    void RemoveObserver(ModelObserver* observer);

    // ---- Life of the window --------------------------------------------------------
    // Loads the three local tables, fills the server table and the pane and shows the
    // default setting as entry 0. A failure stops the remaining steps silently.
    void FormCreate();
    // Applies the connection settings and sets the controls for the default setting.
    void FormShow();
    // The close question; true when the window may close. A failed save keeps it open.
    bool FormCloseQuery();
    const std::string& DataDirectory() const { return dataDir_; }

    // ---- Commands ------------------------------------------------------------------
    // Runs a command of the table; refused while a request waits unless the table says
    // it may run then.
    void Execute(CommandId id);
    // False for the cell editor's actions and for Agent flows not yet installed.
    bool HasHandler(CommandId id) const;
    // Installs the flow for a command that talks to Agents. Replaces an earlier one.
    void InstallFlow(CommandId id, std::function<void()> flow);
    // Runs an installed flow directly (the pane's double click and popup).
    void RunFlow(CommandId id);

    // ---- The parts -------------------------------------------------------------------
    const WatchPages& Pages() const { return pages_; }
    const LogView& Log() const { return log_; }
    PaneActions& PaneCommands() { return paneActions_; }
    SettingCommands& Settings() { return settings_; }

    // ---- State the window shows -----------------------------------------------------
    const store::ServerList& Servers() const { return table_.Servers(); }
    const agent::NodeTree& Pane() const { return table_.Pane(); }
    // The i-th top-level node (the node of entry i), or kNone.
    agent::NodeTree::Id ServerNode(std::size_t index) const { return table_.ServerNode(index); }
    agent::NodeTree::Id SelectedNode() const { return selected_; }
    const std::string& CurrentServer() const { return currentServer_; }
    const WatchGrid& Grid() const { return pages_.Grid(); }
    const settings::MailSetting& Mail() const { return pages_.Mail(); }
    const std::string& ServerNameText() const { return pages_.ServerNameText(); }
    const std::string& StatusText() const { return statusText_; }
    int ProgressPosition() const { return progress_; }
    bool AnimationRunning() const { return animation_; }
    bool MainWindowEnabled() const { return windowEnabled_; }
    bool IsEnabled(Control control) const { return enabled_[static_cast<std::size_t>(control)]; }
    // Editing colours of the grid, mail page and log (window colour when true).
    bool WatchEditing() const { return watchEditing_; }
    Page ActivePage() const { return page_; }
    bool LogTabVisible() const { return logTabVisible_; }
    const std::string& LogText() const { return log_.Text(); }
    std::size_t LogIndex() const { return log_.Index(); }
    const std::array<std::string, 4>& LogPaths() const { return log_.Paths(); }
    const std::vector<std::string>& LineCopyBuffer() const { return pages_.LineCopyBuffer(); }
    const agent::ConnectionSettings& Connection() const { return connection_; }
    const StatusLayout& Layout() const { return layout_; }
    // Watch rows of the shown setting beyond the grid's 128 rows.
    std::size_t HiddenRowCount() const { return pages_.HiddenRowCount(); }

    // ---- User actions the window forwards ---------------------------------------------
    // The pane's selection changed; while a request waits another server is refused and
    // the pane shows the selection again.
    void SelectNode(agent::NodeTree::Id node);
    // Typed text; refused (false, a message shown, the old text kept) when the setting
    // text could not carry it. The count column keeps digits only.
    bool EditCell(std::size_t row, std::size_t column, std::string_view text) {
        return pages_.EditCell(row, column, text);
    }
    void SetCurrentCell(std::size_t row, std::size_t column) { pages_.SetCurrentCell(row, column); }
    bool EditSubject(std::string_view text) {
        return pages_.EditMailField(&settings::MailSetting::MailSubject, text, false);
    }
    bool EditBody(std::string_view text) {
        return pages_.EditMailField(&settings::MailSetting::MailBody, text, true);
    }
    bool EditSmtpServer(std::string_view text) {
        return pages_.EditMailField(&settings::MailSetting::SMTPServer, text, false);
    }
    bool EditFromAddress(std::string_view text) {
        return pages_.EditMailField(&settings::MailSetting::FromMailAddress, text, false);
    }
    void ChangePage(Page page);
    void MoveSplitter(int treeWidth);
    // GrdNetwork changes; a refused port shows the message and restores the old text.
    void ChangeUser(std::string_view text) {
        if (connection_.SetUser(text)) {
            ApplyConnection();
        }
    }
    void ChangePassword(std::string_view text) {
        if (connection_.SetPassword(text)) {
            ApplyConnection();
        }
    }
    void ChangePort(std::string_view text);
    // The user's choice of log day (not when the model resets the index).
    void ChooseLogDay(std::size_t index);
    void OpenTreePopup() { paneActions_.OpenPopup(); }
    void DoubleClickNode() { paneActions_.DoubleClick(); }
    bool CanDropOnGrid() const { return IsFileNode(selected_); }
    void DropOnGrid() { paneActions_.DropOnGrid(); }

    // ---- Building blocks of the commands and of the Agent flows -------------------------
    void ClearWatchPage();
    void SetWatchEditing(bool enabled);
    // Shows entry `index`'s setting text in the pages, with its log; throws when the log
    // cannot be fetched (rows and mail settings are then already shown).
    void ShowWatchSetting(agent::NodeTree::Id serverNode, std::size_t index);
    // Builds entry `index`'s setting text from the pages when they show it; false when
    // they do not (never fetched, failed fetch, another entry).
    bool CaptureWatchSetting(std::size_t index);
    void CaptureShownSetting();
    // Imported rows replace the grid's; the mail page and the log are emptied.
    void ReplaceRows(const std::vector<settings::WatchRow>& rows);
    // Server.csv, with the message of the close question's failure left to the caller.
    // False when the file changed on disk and the user chose not to overwrite it.
    bool SaveServerList();
    std::string ServerListPath() const;
    // The selected server leaves the table and the pane after the user agreed.
    void DeleteSelectedServer();
    // The row commands on the grid's current row.
    void CopyRow() { pages_.CopyRow(); }
    void PasteRow() { pages_.PasteRow(); }
    void DeleteRow() { pages_.DeleteRow(); }

    // Applies the enabling table's rows for the events, in order.
    void Raise(std::initializer_list<UiEvent> events);
    void SetLogTabVisible(bool visible);
    void SetStatusText(std::string text);
    void SetProgress(int position);
    // One step, never past the maximum.
    void StepProgress();
    void SetAnimation(bool running);
    void SetMainWindowEnabled(bool enabled);
    void SetCurrentServer(std::string address);
    void SetServerNameText(std::string text) { pages_.SetServerNameText(std::move(text)); }
    // The selection moves to `node` and the pane shows it; nothing else follows, as the
    // flow that moves it shows what it needs itself.
    void MoveSelectionTo(agent::NodeTree::Id node);
    // While suspended, SelectNode only records the selection.
    void SuspendSelectionReaction();
    void ResumeSelectionReaction();
    bool IsLoaded(agent::NodeTree::Id node) const { return table_.IsLoaded(node); }
    bool IsDefaultNode(agent::NodeTree::Id node) const { return table_.IsDefaultNode(node); }
    bool IsFileNode(agent::NodeTree::Id node) const { return table_.IsFileNode(node); }

    // ---- Changes of the server table and the pane; each tells the observers -----------
    // The view that follows the pane's rows (nullptr: none).
    void ObservePane(agent::NodeTree::Observer* observer) { table_.ObservePane(observer); }
    void MarkLoaded(agent::NodeTree::Id node) { table_.MarkLoaded(node); }
    // Discovery: `admit` adds the Agents that answered to the table and returns their
    // rows; each becomes a server node not yet loaded. Safe while a request waits: rows
    // are only appended, and the table's storage never moves.
    void AddDiscoveredServers(
        const std::function<std::vector<std::size_t>(store::ServerList&)>& admit);
    // The add-server dialog's connection test of `address` and, when it passes, the new
    // entry, which gets its node from AppendLoadedServerNode once shown.
    agent::AddServerCheck::Result TryAddServer(agent::AddServerCheck::Fetchers fetchers,
                                               std::string_view address) {
        return table_.TryAdd(std::move(fetchers), address);
    }
    agent::NodeTree::Id AppendLoadedServerNode(std::size_t index) {
        return table_.AppendLoadedNode(index);
    }
    // A fetch of entry `index`: its texts emptied before the requests, then each reply
    // (a new setting drops the cached log).
    void ClearServerTexts(std::size_t index) { table_.ClearTexts(index); }
    void SetTreeText(std::size_t index, std::string text) {
        table_.SetTreeText(index, std::move(text));
    }
    void SetSettingText(std::size_t index, std::string text) {
        table_.SetSettingText(index, std::move(text));
    }
    // Entry `index`'s tree text as `server`'s subtree; a bad tree text throws after the
    // root directory node was added.
    void BuildSubtree(agent::NodeTree::Id server, std::size_t index,
                      agent::TreeProgress& progress) {
        table_.BuildSubtree(server, index, progress);
    }
    void DropSubtree(agent::NodeTree::Id server) { table_.DropSubtree(server); }

private:
    // Tells observers about a change.
    void Notify(ChangeMask what);
    void Notify(Change what) { Notify(static_cast<ChangeMask>(what)); }
    void ApplyConnection();

    UserPort& ui_;
    RequestGate requests_;
    std::vector<ModelObserver*> observers_;
    std::string dataDir_;
    ChangedFiles serverListFile_;

    ServerTable table_;
    agent::NodeTree::Id selected_ = agent::NodeTree::kNone;
    int selectionSuspended_ = 0;
    std::string currentServer_;

    WatchPages pages_;
    LogView log_;
    PaneActions paneActions_;
    SettingCommands settings_;

    std::string statusText_;
    int progress_ = 0;
    bool animation_ = false;
    bool windowEnabled_ = true;
    EnabledFlags enabled_{};
    bool watchEditing_ = true;
    Page page_ = Page::Watch;
    bool logTabVisible_ = true;

    agent::ConnectionSettings connection_;
    StatusLayout layout_;
    std::array<std::function<void()>, kCommandCount> flows_;
};

}  // namespace kv::app
