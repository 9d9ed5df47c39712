#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include "app/ManagerModel.h"
#include "app/RequestPort.h"
#include "ui/DesktopPort.h"
#include "ui/MainWindow.h"

using namespace kv::store;
using namespace kv::settings;
using namespace kv::agent;
using namespace kv::app;
using namespace kv::ui;

namespace kv::test {

// Agents in memory: replies by address, and a record of what was asked.
class MemoryRequests : public RequestPort {
public:
    std::map<std::string, std::string> trees;
    std::map<std::string, std::string> settings;
    std::map<std::string, std::string> files;  // "address|path" -> body
    std::vector<std::string> fileRequests;
    std::string port;

    void ApplyConnection(std::string_view user, std::string_view password,
                         std::string_view agentPort) override;
    bool FetchTree(std::string_view address, std::string& target) override;
    bool FetchWatchSetting(std::string_view address, std::string& target) override;
    bool SendWatchSetting(std::string_view address, const std::vector<std::string>& lines) override;
    std::string FetchFileView(std::string_view address, std::string_view remotePath) override;
};

// A data directory, the presentation model on it and the real window with its Qt port.
class UiFixture {
public:
    // Server.csv records after the header, "name,address" each; the default entry first.
    explicit UiFixture(const std::vector<std::string>& servers = {"web01,127.0.0.2",
                                                                  "db01,127.0.0.3"});
    ~UiFixture();

    // Shows the window and waits until it is active, so that focus changes are real.
    void Show();
    // Gives server `index` a fetched setting and the tree "/" > dirs... > file, marks it
    // loaded and returns the file node.
    NodeTree::Id LoadServer(std::size_t index, const std::string& settingText,
                            const std::vector<std::string>& path);
    // Server `index`'s subtree built anew from a fetched tree text, as a reload does.
    void LoadTree(std::size_t index, const std::string& treeText);
    // Selects a node as a click in the pane does.
    void Select(NodeTree::Id node);
    QString File(const QString& name) const { return dir_.filePath(name); }
    QByteArray Read(const QString& name) const;

    DesktopPort port;
    MemoryRequests requests;
    std::unique_ptr<ManagerModel> model;
    std::unique_ptr<MainWindow> window;

private:
    QTemporaryDir dir_;
};

// Prepares the application for window tests: resources and the window font.
void PrepareApplication();

}  // namespace kv::test
