#include "app/AgentFlows.h"

#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "agent/AddServerCheck.h"
#include "agent/FileViewText.h"
#include "agent/SubtreeBuilder.h"
#include "app/ManagerModel.h"
#include "app/RequestPort.h"
#include "settings/FetchAndSave.h"
#include "store/ServerList.h"
#include "text/Cp932.h"

namespace kv::app {
namespace {

// Status texts of one fetch: what reload shows is indented by two ideographic spaces.
struct FetchTexts {
    std::string Fetching;
    std::string Loading;
    std::string Done;
};

const FetchTexts& TextsFor(bool indented) {
    static const FetchTexts plain{text::Sjis("ディレクトリ情報をリモートサーバから取得します。"),
                                  text::Sjis("ディレクトリ情報をロード中です。"),
                                  text::Sjis("ディレクトリ情報の取得を完了しました。")};
    static const FetchTexts reload{text::Sjis("　　") + plain.Fetching,
                                   text::Sjis("　　") + plain.Loading,
                                   text::Sjis("　　") + plain.Done};
    return indented ? reload : plain;
}

// Holds the pane's selection reaction for a scope, released on every way out.
class SelectionHold {
public:
    explicit SelectionHold(ManagerModel& model) : model_(model) {
        model_.SuspendSelectionReaction();
    }
    ~SelectionHold() { model_.ResumeSelectionReaction(); }
    SelectionHold(const SelectionHold&) = delete;
    SelectionHold& operator=(const SelectionHold&) = delete;

private:
    ManagerModel& model_;
};

}  // namespace

void AgentFlows::Install() {
    model_.InstallFlow(CommandId::Reload, [this] { Reload(); });
    model_.InstallFlow(CommandId::TreeFetch, [this] { FetchSelected(); });
    model_.InstallFlow(CommandId::TreeViewFile, [this] { ViewFile(); });
    model_.InstallFlow(CommandId::GrdReload, [this] { FetchCurrentSetting(); });
    model_.InstallFlow(CommandId::GrdAllReload, [this] { FetchAllSettings(); });
    model_.InstallFlow(CommandId::AutoSearch, [this] { StartDiscovery(); });
    model_.InstallFlow(CommandId::AddServer, [this] { AddServer(); });
}

void AgentFlows::Reload() {
    const agent::NodeTree& pane = model_.Pane();
    if (!pane.IsAlive(model_.SelectedNode())) {
        return;
    }
    const agent::NodeTree::Id server = pane.TopLevelAncestor(model_.SelectedNode());
    if (model_.IsDefaultNode(server)) {
        return;
    }
    FetchServer(server, Style::Reload);
}

void AgentFlows::FetchSelected() {
    const agent::NodeTree& pane = model_.Pane();
    const agent::NodeTree::Id node = model_.SelectedNode();
    if (!pane.IsAlive(node) || pane.Parent(node) != agent::NodeTree::kNone ||
        model_.IsDefaultNode(node)) {
        return;
    }
    FetchServer(node, Style::Fetch);
}

void AgentFlows::ViewFile() {
    const agent::NodeTree& pane = model_.Pane();
    const agent::NodeTree::Id node = model_.SelectedNode();
    if (!model_.IsFileNode(node)) {
        return;
    }
    model_.Ui().SetBusyCursor(true);
    model_.SetMainWindowEnabled(false);
    try {
        const std::string path = agent::RemotePath(pane, node);
        const std::string address = pane.Caption(pane.TopLevelAncestor(node));
        RequestPort* requests = model_.Requests();
        if (requests == nullptr) {
            throw std::runtime_error("Connecting Failed");
        }
        const std::string text = agent::PrepareFileViewText(requests->FetchFileView(address, path));
        model_.Ui().OpenFileView(address + " - " + path, text);
    } catch (const std::exception&) {
        EndBusy();
        model_.Ui().ShowMessage(ManagerModel::CommunicationFailureText());
        return;
    }
    EndBusy();
}

void AgentFlows::FetchCurrentSetting() {
    const std::optional<std::size_t> index = model_.Servers().IndexOf(model_.CurrentServer());
    const agent::NodeTree& pane = model_.Pane();
    // The default setting lives here, not on an Agent.
    if (!index || *index == 0 || !pane.IsAlive(model_.SelectedNode())) {
        return;
    }
    const agent::NodeTree::Id node = pane.TopLevelAncestor(model_.SelectedNode());
    BeginSettingFetch();
    try {
        model_.ClearWatchPage();
        if (model_.Walks().FetchWatchSetting(*index)) {
            model_.ShowWatchSetting(node, *index);
        }
    } catch (const std::exception& failure) {
        model_.Ui().ReportError(failure.what());
    }
    EndSettingFetch();
}

void AgentFlows::FetchAllSettings() {
    if (!model_.Ui().ConfirmOkCancel(
            text::Sjis("一覧に表示されているサーバ設定をすべて取得します。\r\nよろしいですか？"))) {
        return;
    }
    BeginSettingFetch();
    try {
        model_
            .Walks([this](const settings::FetchAndSave::Report& report) {
                if (report.outcome == settings::FetchAndSave::Outcome::Fetched) {
                    model_.MarkLoaded(model_.ServerNode(report.Index));
                }
            })
            .FetchAll();
        const agent::NodeTree& pane = model_.Pane();
        if (model_.CurrentServer() != store::kDefaultSettingAddress &&
            pane.IsAlive(model_.SelectedNode())) {
            const agent::NodeTree::Id node = pane.TopLevelAncestor(model_.SelectedNode());
            model_.ClearWatchPage();
            model_.ShowWatchSetting(node, pane.Row(node));
        }
    } catch (const std::exception& failure) {
        model_.Ui().ReportError(failure.what());
    }
    EndSettingFetch();
}

void AgentFlows::AddServer() {
    std::optional<std::size_t> added;
    const bool ok = model_.Ui().ShowAddServerDialog([this, &added](const std::string& address) {
        added = TestNewServer(address);
        return added.has_value();
    });
    if (ok && added) {
        ShowAddedServer(*added);
    }
}

std::optional<std::size_t> AgentFlows::TestNewServer(const std::string& address) {
    UserPort& ui = model_.Ui();
    RequestPort* requests = model_.Requests();
    agent::AddServerCheck check(
        agent::AddServerCheck::Fetchers{
            [requests](std::string_view server, std::string& target) {
                return requests != nullptr && requests->FetchTree(server, target);
            },
            [requests](std::string_view server, std::string& target) {
                return requests != nullptr && requests->FetchWatchSetting(server, target);
            }},
        model_.Servers());
    ui.SetBusyCursor(true);
    const agent::AddServerCheck::Result result = check.TryAddress(address);
    ui.SetBusyCursor(false);
    if (!result.Index) {
        ui.ShowMessage(result.Message);
        return std::nullopt;
    }
    model_.Notify(Change::Servers);
    return result.Index;
}

void AgentFlows::ShowAddedServer(std::size_t index) {
    const FetchTexts& texts = TextsFor(false);
    // The pages still show the previous server; keep its edits before they are replaced.
    if (const auto current = model_.Servers().IndexOf(model_.CurrentServer())) {
        model_.CaptureWatchSetting(*current);
    }
    model_.SetStatusText(texts.Fetching);
    model_.Ui().SetBusyCursor(true);
    model_.SetMainWindowEnabled(false);
    try {
        const SelectionHold hold(model_);
        const std::string address = model_.Servers().Entry(index).IPAddress;
        const agent::NodeTree::Id node =
            model_.Pane().Append(agent::NodeTree::kNone, address, agent::Picture::ServerLoaded,
                                 agent::Picture::ServerLoaded);
        model_.SelectNode(node);
        model_.Notify(Change::Selection);
        model_.SetCurrentServer(address);
        model_.ClearWatchPage();
        model_.SetWatchEditing(true);
        model_.ShowWatchSetting(node, index);
        BuildSubtree(node, index);
    } catch (const std::exception&) {
        EndBusy();
        model_.Ui().ShowMessage(ManagerModel::CommunicationFailureText());
        return;
    }
    model_.SetProgress(0);
    model_.SetStatusText(texts.Done);
    model_.SetControlEnabled(Control::BtnServerDel, true);
    model_.SetControlEnabled(Control::BtnReload, true);
    model_.SetControlEnabled(Control::BtnDefaultSet, false);
    model_.SetLogTabVisible(true);
    EndBusy();
}

void AgentFlows::StartDiscovery() {
    if (watch_) {
        watch_(-1);
    }
    discovery_.Start(model_.Connection().AgentPort(), destination_);
    if (watch_) {
        watch_(discovery_.Handle());
    }
}

void AgentFlows::DiscoveryReadable() {
    const std::vector<std::size_t> added = discovery_.HandleAvailable(model_.Servers());
    if (added.empty()) {
        return;
    }
    for (const std::size_t index : added) {
        const store::TServerTree& entry = model_.Servers().Entry(index);
        const agent::NodeTree::Id node =
            model_.Pane().Append(agent::NodeTree::kNone, entry.IPAddress,
                                 agent::Picture::ServerNotLoaded, agent::Picture::ServerNotLoaded);
        if (model_.SelectedNode() == node) {
            model_.SetServerNameText(entry.ServerName);
        }
    }
    model_.SetControlEnabled(Control::BtnServerDel, true);
    model_.SetControlEnabled(Control::BtnReload, true);
    model_.Notify(Change::Servers);
}

void AgentFlows::BeginSettingFetch() {
    model_.Ui().MoveFocus(FocusTarget::GridToolBar);
    model_.Ui().SetBusyCursor(true);
    model_.SetMainWindowEnabled(false);
    model_.SetAnimation(true);
}

void AgentFlows::EndSettingFetch() {
    EndBusy();
    if (model_.CurrentServer() != store::kDefaultSettingAddress) {
        model_.SetLogTabVisible(true);
    }
    model_.Ui().MoveFocus(FocusTarget::Grid);
}

void AgentFlows::FetchServer(agent::NodeTree::Id server, Style style) {
    const bool reload = style == Style::Reload;
    const FetchTexts& texts = TextsFor(reload);
    const std::size_t index = model_.Pane().Row(server);
    if (index >= model_.Servers().Count()) {
        return;
    }
    model_.Ui().SetBusyCursor(true);
    model_.SetMainWindowEnabled(false);
    model_.SetWatchEditing(false);
    model_.SetStatusText(texts.Fetching);
    if (reload) {
        model_.SetAnimation(true);
    }
    model_.ClearWatchPage();
    try {
        store::TServerTree& entry = model_.Servers().Entry(index);
        // A reload drops the old subtree before asking, so a lost connection leaves none.
        if (reload) {
            model_.Pane().RemoveChildren(server);
        }
        entry.TreeText.clear();
        entry.SettingText.clear();
        model_.Notify(Change::Servers);
        const std::string address = model_.Pane().Caption(server);
        RequestPort* requests = model_.Requests();
        if (requests == nullptr || !requests->FetchTree(address, entry.TreeText) ||
            !requests->FetchWatchSetting(address, entry.SettingText)) {
            throw std::runtime_error("Connecting Failed");
        }
        model_.SetStatusText(texts.Loading);
        if (!reload) {
            model_.Pane().RemoveChildren(server);
        }
        BuildSubtree(server, index);
        entry.CachedLog.reset();
        model_.ShowWatchSetting(server, index);
        model_.SetLogTabVisible(true);
    } catch (const std::exception&) {
        EndBusy();
        model_.Ui().ShowMessage(ManagerModel::CommunicationFailureText());
        return;
    }
    model_.SetWatchEditing(true);
    model_.SetProgress(0);
    model_.SetStatusText(texts.Done);
    EndBusy();
}

void AgentFlows::BuildSubtree(agent::NodeTree::Id server, std::size_t index) {
    agent::TreeProgress progress;
    progress.changed = [this](int position) { model_.SetProgress(position); };
    const SelectionHold hold(model_);
    agent::BuildServerSubtree(model_.Pane(), server, model_.Servers().Entry(index).TreeText,
                              progress);
}

void AgentFlows::EndBusy() {
    model_.SetAnimation(false);
    model_.SetMainWindowEnabled(true);
    model_.Ui().SetBusyCursor(false);
}

}  // namespace kv::app
