#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "agent/ConnectionSettings.h"
#include "agent/NodeTree.h"
#include "app/CommandTable.h"
#include "app/ModelObserver.h"
#include "app/StatusLayout.h"
#include "app/UserPort.h"
#include "app/WatchGrid.h"
#include "settings/FetchAndSave.h"
#include "settings/WatchSetting.h"
#include "store/ServerList.h"
#include "store/TMlb2.h"

namespace kv::app {

class RequestPort;

// The Manager's main window without widgets: everything the window shows, every enabling
// rule and every command. The window binds its widgets to the accessors, forwards user
// actions to the methods below and repaints on ModelChanged. Texts are Shift_JIS.
class ManagerModel {
public:
    enum class Page { Watch = 0, Message = 1, Log = 2 };

    // "Kestrelview Manager Ver2.00"
    static const std::string& ApplicationTitle();
    // "最新", "一日前", "二日前", "三日前"
    static const std::array<std::string, 4>& LogChoices();
    static const std::string& ManualUrl();
    // The message box of a flow that could not reach its Agent.
    static std::string CommunicationFailureText();

    // `dataDir` ends in "/" (see ResolveDataDirectory).
    ManagerModel(UserPort& ui, std::string dataDir);
    ManagerModel(const ManagerModel&) = delete;
    ManagerModel& operator=(const ManagerModel&) = delete;

    // The Agent requests; without one, every request fails as a lost connection.
    void SetRequestPort(RequestPort* requests);
    RequestPort* Requests() const { return requests_; }
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
    // Runs a command of the table. A failure that the command does not handle itself
    // reaches the user as the error report. Commands without a handler do nothing.
    void Execute(CommandId id);
    // False for the cell editor's actions and for Agent flows not yet installed.
    bool HasHandler(CommandId id) const;
    // Installs the flow for a command that talks to Agents (fetches, discovery, add
    // server). For TreeFetch and TreeViewFile the flow is the fetch of the selected
    // server and the view of the selected file node, which the pane's double-click and
    // popup dispatch call. Replaces an earlier one.
    void InstallFlow(CommandId id, std::function<void()> flow);

    // ---- State the window shows -----------------------------------------------------
    const store::ServerList& Servers() const { return servers_; }
    store::ServerList& Servers() { return servers_; }
    const agent::NodeTree& Pane() const { return pane_; }
    agent::NodeTree& Pane() { return pane_; }
    // The i-th top-level node (the node of entry i), or kNone.
    agent::NodeTree::Id ServerNode(std::size_t index) const;
    agent::NodeTree::Id SelectedNode() const { return selected_; }
    const std::string& CurrentServer() const { return currentServer_; }
    const WatchGrid& Grid() const { return grid_; }
    const settings::MailSetting& Mail() const { return mail_; }
    const std::string& ServerNameText() const { return serverNameText_; }
    const std::string& StatusText() const { return statusText_; }
    int ProgressPosition() const { return progress_; }
    bool AnimationRunning() const { return animation_; }
    bool MainWindowEnabled() const { return windowEnabled_; }
    bool IsEnabled(Control control) const { return enabled_[static_cast<std::size_t>(control)]; }
    // Editing colours of the grid, mail page and log (window colour when true).
    bool WatchEditing() const { return watchEditing_; }
    Page ActivePage() const { return page_; }
    bool LogTabVisible() const { return logTabVisible_; }
    const std::string& LogText() const { return logText_; }
    std::size_t LogIndex() const { return logIndex_; }
    const std::array<std::string, 4>& LogPaths() const { return logPaths_; }
    const std::vector<std::string>& LineCopyBuffer() const { return lineCopy_; }
    const agent::ConnectionSettings& Connection() const { return connection_; }
    const StatusLayout& Layout() const { return layout_; }
    // Watch rows of the shown setting beyond the grid's 128 rows.
    std::size_t HiddenRowCount() const { return hiddenRows_.size(); }

    // ---- User actions the window forwards ---------------------------------------------
    // The pane's selection changed (TreServerChange unless suspended).
    void SelectNode(agent::NodeTree::Id node);
    // Text typed into a cell or a mail page field. Refused (false, a message shown, the
    // old text kept) when the setting text could not carry it: a double quote anywhere,
    // a line break in a cell or a one-line field, a TAB in the body. Lone CR or LF in the
    // body become CR LF.
    bool EditCell(std::size_t row, std::size_t column, std::string_view text);
    void SetCurrentCell(std::size_t row, std::size_t column);
    bool EditSubject(std::string_view text);
    bool EditBody(std::string_view text);
    bool EditSmtpServer(std::string_view text);
    bool EditFromAddress(std::string_view text);
    // PagWatchChange
    void ChangePage(Page page);
    // Splitter1Moved with the tree's new width.
    void MoveSplitter(int treeWidth);
    // GrdNetwork changes; a refused port shows the message and restores the old text.
    void ChangeUser(std::string_view text);
    void ChangePassword(std::string_view text);
    void ChangePort(std::string_view text);
    // ValLogIndexChange, for the user's choice only (not when the model resets the index).
    void ChooseLogDay(std::size_t index);
    // TreServerMouseDown with the right button: sets PopMenu1..5 for the selected node.
    void OpenTreePopup();
    // TreServerDblClick: fetch a server not loaded, view a file node, else nothing.
    void DoubleClickNode();
    // Drag from the pane over the grid: accepted only for a selected file node.
    bool CanDropOnGrid() const;
    // GrdWatchDragDrop
    void DropOnGrid();

    // ---- Building blocks of the commands and of the Agent flows -------------------------
    void ClearWatchPage();
    void SetWatchEditing(bool enabled);
    // Shows entry `index`'s setting text in the pages, with its log; throws when the log
    // cannot be fetched (rows and mail settings are then already shown).
    void ShowWatchSetting(agent::NodeTree::Id serverNode, std::size_t index);
    // Builds entry `index`'s setting text from the pages; false when `index` is not an
    // entry in use. Watch rows of the shown setting that the grid could not show are kept
    // after the grid's rows unless the user agrees, once per display, to drop them.
    bool CaptureWatchSetting(std::size_t index);
    // The fetch and save walks over the request port, their messages shown to the user;
    // `also` hears of every outcome after that.
    settings::FetchAndSave Walks(settings::FetchAndSave::Reporter also = {});
    // Posts entry `index`'s setting; shows the per-server message on failure.
    bool UploadWatchSetting(std::size_t index);

    void SetControlEnabled(Control control, bool enabled);
    void SetLogTabVisible(bool visible);
    void SetStatusText(std::string text);
    void SetProgress(int position);
    // One step, never past the maximum.
    void StepProgress();
    void SetAnimation(bool running);
    void SetMainWindowEnabled(bool enabled);
    void SetCurrentServer(std::string address);
    void SetServerNameText(std::string text);
    // While suspended, SelectNode only records the selection.
    void SuspendSelectionReaction();
    void ResumeSelectionReaction();
    bool IsLoaded(agent::NodeTree::Id node) const;
    bool IsDefaultNode(agent::NodeTree::Id node) const;
    bool IsFileNode(agent::NodeTree::Id node) const;
    void MarkLoaded(agent::NodeTree::Id node);
    // Tells observers about changes made directly through Servers() or Pane().
    void Notify(ChangeMask what);
    void Notify(Change what) { Notify(static_cast<ChangeMask>(what)); }

    // ---- Handlers of the table -------------------------------------------------------
    void BtnServerDelClick();
    void BtnSaveClick();
    void BtnCloseClick();
    void BtnLineCopyClick();
    void BtnLinePastClick();
    void BtnLineDelClick();
    void BtnGrdSaveClick();
    void BtnGrdAllSaveClick();
    void BtnDefaultSetClick();
    void BtnImportClick();
    void BtnExportClick();
    void BtnHelpClick();
    void BtnVersionClick();
    // PopMenu1: fetch (again) the selected server, or view the selected file node.
    void PopMenu1Click();
    void PopMenu2Click();
    void PopMenu3Click();
    void PopMenu4Click();
    // PopMenu5: view the selected file node.
    void PopMenu5Click();

private:
    void ShowLog(agent::NodeTree::Id serverNode, store::TServerTree& entry,
                 const std::optional<std::string>& logPath);
    bool EditMailField(std::string settings::MailSetting::*field, std::string text, bool multiLine);
    void ApplyConnection();
    void RunFlow(CommandId id);
    bool PutTreePath(std::optional<std::size_t> row, std::size_t column);
    void SaveDefaultFiles();
    std::function<bool(std::size_t)> LoadedServers() const;

    UserPort& ui_;
    RequestPort* requests_ = nullptr;
    std::vector<ModelObserver*> observers_;
    std::string dataDir_;

    store::ServerList servers_;
    store::TMlb2 rowsTable_;
    store::TMlb2 mailTable_;
    std::size_t hiddenDefaultRecords_ = 0;
    agent::NodeTree pane_;
    agent::NodeTree::Id selected_ = agent::NodeTree::kNone;
    int selectionSuspended_ = 0;
    std::string currentServer_;

    WatchGrid grid_;
    settings::MailSetting mail_;
    std::string serverNameText_;
    std::vector<settings::WatchRow> hiddenRows_;
    bool hiddenRowsKept_ = false;
    std::vector<std::string> lineCopy_;

    std::string statusText_;
    int progress_ = 0;
    bool animation_ = false;
    bool windowEnabled_ = true;
    std::array<bool, kControlCount> enabled_{};
    bool watchEditing_ = true;
    Page page_ = Page::Watch;
    bool logTabVisible_ = true;
    std::string logText_;
    std::size_t logIndex_ = 0;
    std::array<std::string, 4> logPaths_;

    agent::ConnectionSettings connection_;
    StatusLayout layout_;
    std::string lastImportName_;
    std::string lastExportName_;
    std::array<std::function<void()>, kCommandCount> flows_;
};

}  // namespace kv::app
