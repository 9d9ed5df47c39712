#include "UiFixture.h"

#include <stdexcept>

#include <QApplication>
#include <QFile>
#include <QTest>

#include "ui/Resources.h"
#include "ui/ServerTreeModel.h"
#include "ui/ServerTreeView.h"
#include "ui/WindowFont.h"

using namespace kv::agent;
using namespace kv::ui;

namespace kv::test {

void MemoryRequests::ApplyConnection(std::string_view, std::string_view,
                                     std::string_view agentPort) {
    port = agentPort;
}

bool MemoryRequests::FetchTree(std::string_view address, std::string& target) {
    const auto found = trees.find(std::string(address));
    if (found == trees.end()) {
        return false;
    }
    target = found->second;
    return true;
}

bool MemoryRequests::FetchWatchSetting(std::string_view address, std::string& target) {
    const auto found = settings.find(std::string(address));
    if (found == settings.end()) {
        return false;
    }
    target = found->second;
    return true;
}

bool MemoryRequests::SendWatchSetting(std::string_view address, const std::vector<std::string>&) {
    return settings.count(std::string(address)) > 0;
}

std::string MemoryRequests::FetchFileView(std::string_view address, std::string_view remotePath) {
    const std::string key = std::string(address) + "|" + std::string(remotePath);
    fileRequests.push_back(key);
    const auto found = files.find(key);
    if (found == files.end()) {
        throw std::runtime_error("404 Not Found");
    }
    return found->second;
}

void PrepareApplication() {
    LoadResources();
    WindowFont::InstallSubstitutes();
    QApplication::setFont(WindowFont::Window());
}

UiFixture::UiFixture(const std::vector<std::string>& servers) {
    QByteArray csv = "ServerName,IPAddress\r\n,DefaultSetting\r\n";
    for (const std::string& server : servers) {
        csv += QByteArray::fromStdString(server) + "\r\n";
    }
    QFile file(dir_.filePath(QStringLiteral("Server.csv")));
    if (!file.open(QIODevice::WriteOnly) || file.write(csv) != csv.size()) {
        throw std::runtime_error("cannot write Server.csv");
    }
    file.close();
    model =
        std::make_unique<ManagerModel>(port, QFile::encodeName(dir_.path()).toStdString() + "/");
    model->SetRequestPort(&requests);
    model->FormCreate();
    window = std::make_unique<MainWindow>(*model);
    port.Attach(window.get());
}

UiFixture::~UiFixture() {
    window.reset();
    model.reset();
}

void UiFixture::Show() {
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window.get())) {
        throw std::runtime_error("the window did not become active");
    }
}

NodeTree::Id UiFixture::LoadServer(std::size_t index, const std::string& settingText,
                                   const std::vector<std::string>& path) {
    std::string tree = "IsDir /\n";
    for (std::size_t i = 0; i < path.size(); ++i) {
        tree += std::string(i + 1, '\t') + (i + 1 == path.size() ? "" : "IsDir ") + path[i] + "\n";
    }
    model->SetSettingText(index, settingText);
    LoadTree(index, tree);
    NodeTree::Id node = model->ServerNode(index);
    for (std::size_t i = 0; i <= path.size(); ++i) {
        node = model->Pane().Children(node).back();
    }
    return node;
}

void UiFixture::LoadTree(std::size_t index, const std::string& treeText) {
    const NodeTree::Id server = model->ServerNode(index);
    model->SetTreeText(index, treeText);
    model->DropSubtree(server);
    TreeProgress progress;
    model->BuildSubtree(server, index, progress);
}

void UiFixture::Select(NodeTree::Id node) {
    window->Tree()->setCurrentIndex(window->TreeModel()->IndexOf(node));
}

QByteArray UiFixture::Read(const QString& name) const {
    QFile file(dir_.filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace kv::test
