#include "app/AgentFlows.h"

#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "agent/AddServerCheck.h"
#include "agent/FileViewText.h"
#include "agent/SubtreeBuilder.h"
#include "app/BusyScope.h"
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
    BusyScope busy(model_, BusyScope::Cursor | BusyScope::Window);
    try {
        const std::string path = agent::RemotePath(pane, node);
        const std::string address = pane.Caption(pane.TopLevelAncestor(node));
        std::string text = model_.Requests().FetchFileViewText(address, path);
        model_.Ui().OpenFileView(address + " - " + path, std::move(text));
    } catch (const std::exception&) {
        busy.End();
        model_.Ui().ShowMessage(ManagerModel::CommunicationFailureText());
    }
}

void AgentFlows::FetchCurrentSetting() {
    const std::optional<std::size_t> index = model_.Servers().IndexOf(model_.CurrentServer());
    const agent::NodeTree& pane = model_.Pane();
    // The default setting lives here, not on an Agent.
    if (!index || *index == 0 || !pane.IsAlive(model_.SelectedNode())) {
        return;
    }
    const agent::NodeTree::Id node = pane.TopLevelAncestor(model_.SelectedNode());
    RunSettingFetch([&] {
        model_.ClearWatchPage();
        const std::uint64_t key = model_.Servers().Entry(*index).Key;
        if (model_.Settings().Walks().FetchWatchSetting(*index)) {
            if (const auto now = model_.Servers().IndexOfKey(key)) {
                model_.ShowWatchSetting(node, *now);
            }
        } else {
            // Pages of a failed fetch are not this server's setting: nothing to edit.
            model_.SetWatchEditing(false);
        }
    });
}

void AgentFlows::FetchAllSettings() {
    if (!model_.Ui().ConfirmOkCancel(
            text::Sjis("一覧に表示されているサーバ設定をすべて取得します。\r\nよろしいですか？"))) {
        return;
    }
    RunSettingFetch([&] {
        const auto current = model_.Servers().IndexOf(model_.CurrentServer());
        const std::uint64_t currentKey = current ? model_.Servers().Entry(*current).Key : 0;
        bool currentFetched = false;
        model_.Settings()
            .Walks([&](const settings::FetchAndSave::Report& report) {
                if (report.outcome == settings::FetchAndSave::Outcome::Fetched) {
                    model_.MarkLoaded(model_.ServerNode(report.Index));
                    currentFetched =
                        currentFetched || model_.Servers().Entry(report.Index).Key == currentKey;
                }
            })
            .FetchAll();
        const auto now = model_.Servers().IndexOfKey(currentKey);
        if (now && *now != 0) {
            model_.ClearWatchPage();
            if (currentFetched) {
                model_.ShowWatchSetting(model_.ServerNode(*now), *now);
            } else {
                model_.SetWatchEditing(false);
            }
        }
    });
}

void AgentFlows::AddServer() {
    std::optional<std::size_t> added;
    const bool ok = model_.Ui().ShowAddServerDialog([this, &added](const std::string& address) {
        std::string message;
        added = TestNewServer(address, message);
        return AddAttempt{added.has_value(), std::move(message)};
    });
    if (ok && added) {
        ShowAddedServer(*added);
    }
}

std::optional<std::size_t> AgentFlows::TestNewServer(const std::string& address,
                                                     std::string& failure) {
    RequestPort& requests = model_.Requests();
    agent::AddServerCheck::Fetchers fetchers{
        [&requests](std::string_view server, std::string& target) {
            return requests.FetchTree(server, target);
        },
        [&requests](std::string_view server, std::string& target) {
            return requests.FetchWatchSetting(server, target);
        },
        [](std::string_view setting) { return settings::ParseSettingText(setting).ServerName; }};
    agent::AddServerCheck::Result result;
    {
        const BusyScope busy(model_, BusyScope::Cursor);
        result = model_.TryAddServer(std::move(fetchers), address);
    }
    if (!result.Index) {
        failure = result.Message;
    }
    return result.Index;
}

void AgentFlows::ShowAddedServer(std::size_t index) {
    const FetchTexts& texts = TextsFor(false);
    // The pages still show the previous server; keep its edits before they are replaced.
    model_.CaptureShownSetting();
    model_.SetStatusText(texts.Fetching);
    BusyScope busy(model_, BusyScope::Cursor | BusyScope::Window);
    try {
        const SelectionHold hold(model_);
        const agent::NodeTree::Id node = model_.AppendLoadedServerNode(index);
        model_.MoveSelectionTo(node);
        model_.SetCurrentServer(model_.Servers().Entry(index).IPAddress);
        model_.ClearWatchPage();
        model_.SetWatchEditing(true);
        model_.ShowWatchSetting(node, index);
        BuildSubtree(node, index);
    } catch (const std::exception&) {
        busy.End();
        model_.Ui().ShowMessage(ManagerModel::CommunicationFailureText());
        return;
    }
    model_.SetProgress(0);
    model_.SetStatusText(texts.Done);
    model_.Raise({UiEvent::ServerAddedByDialog});
    model_.SetLogTabVisible(true);
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
    model_.AddDiscoveredServers(
        [this](store::ServerList& servers) { return discovery_.HandleAvailable(servers); });
}

void AgentFlows::RunSettingFetch(const std::function<void()>& fetch) {
    model_.Ui().MoveFocus(FocusTarget::GridToolBar);
    {
        const BusyScope busy(model_, BusyScope::Cursor | BusyScope::Window | BusyScope::Animation);
        try {
            fetch();
        } catch (const std::exception& failure) {
            model_.Ui().ReportError(failure.what());
        }
    }
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
    // Nothing is cleared for a request that could not even start.
    if (model_.RefusedWhileWaiting()) {
        return;
    }
    const std::uint64_t key = model_.Servers().Entry(index).Key;
    BusyScope busy(model_,
                   BusyScope::Cursor | BusyScope::Window | (reload ? BusyScope::Animation : 0u));
    model_.SetWatchEditing(false);
    model_.SetStatusText(texts.Fetching);
    model_.ClearWatchPage();
    try {
        // A reload drops the old subtree before asking, so a lost connection leaves none.
        // The selection below it moves up to the server, as the tree control does.
        if (reload) {
            if (model_.Pane().IsAlive(model_.SelectedNode()) &&
                model_.Pane().TopLevelAncestor(model_.SelectedNode()) == server) {
                model_.MoveSelectionTo(server);
            }
            model_.DropSubtree(server);
        }
        model_.ClearServerTexts(index);
        const std::string address = model_.Pane().Caption(server);
        // Each reply goes to the entry found again by its key: discovery may have added
        // servers while the request waited.
        const auto fetch = [&](auto request,
                               void (ManagerModel::*store)(std::size_t, std::string)) {
            std::string reply;
            const bool ok = (model_.Requests().*request)(address, reply);
            const std::optional<std::size_t> now = model_.Servers().IndexOfKey(key);
            if (!ok || !now || !model_.Pane().IsAlive(server)) {
                throw std::runtime_error("Connecting Failed");
            }
            (model_.*store)(*now, std::move(reply));
            return *now;
        };
        fetch(&RequestPort::FetchTree, &ManagerModel::SetTreeText);
        const std::size_t now =
            fetch(&RequestPort::FetchWatchSetting, &ManagerModel::SetSettingText);
        model_.SetStatusText(texts.Loading);
        if (!reload) {
            model_.DropSubtree(server);
        }
        BuildSubtree(server, now);
        model_.ShowWatchSetting(server, now);
        model_.SetLogTabVisible(true);
    } catch (const std::exception&) {
        busy.End();
        model_.Ui().ShowMessage(ManagerModel::CommunicationFailureText());
        return;
    }
    model_.SetWatchEditing(true);
    model_.SetProgress(0);
    model_.SetStatusText(texts.Done);
}

void AgentFlows::BuildSubtree(agent::NodeTree::Id server, std::size_t index) {
    agent::TreeProgress progress;
    progress.changed = [this](int position) { model_.SetProgress(position); };
    const SelectionHold hold(model_);
    model_.BuildSubtree(server, index, progress);
}

}  // namespace kv::app
