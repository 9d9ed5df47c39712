#include "Fakes.h"

#include <stdexcept>
#include <utility>

namespace kv::test {

bool ScriptedUser::ConfirmOkCancel(std::string_view text) {
    questions.emplace_back(text);
    if (okAnswers.empty()) {
        return true;
    }
    const bool answer = okAnswers.front();
    okAnswers.pop_front();
    return answer;
}

YesNoCancel ScriptedUser::AskYesNoCancel(std::string_view text) {
    questions.emplace_back(text);
    if (yesNoAnswers.empty()) {
        return YesNoCancel::Yes;
    }
    const YesNoCancel answer = yesNoAnswers.front();
    yesNoAnswers.pop_front();
    return answer;
}

std::optional<std::string> ScriptedUser::ChooseOpenFile(const FileDialogOptions& options) {
    dialogs.push_back(options);
    if (openNames.empty()) {
        return std::nullopt;
    }
    auto name = openNames.front();
    openNames.pop_front();
    return name;
}

std::optional<std::string> ScriptedUser::ChooseSaveFile(const FileDialogOptions& options) {
    dialogs.push_back(options);
    if (saveNames.empty()) {
        return std::nullopt;
    }
    auto name = saveNames.front();
    saveNames.pop_front();
    return name;
}

void ScriptedUser::SetBusyCursor(bool busy) {
    busyDepth += busy ? 1 : -1;
    ++busyCalls;
}

bool ScriptedUser::ShowAddServerDialog(const TryAddress&) {
    return false;
}

void ScriptedUser::OpenFileView(std::string_view, std::string) {}

void FakeRequests::ApplyConnection(std::string_view u, std::string_view p, std::string_view pt) {
    user = u;
    password = p;
    port = pt;
    ++applied;
}

void FakeRequests::Waiting(std::string_view what, std::string_view address) {
    if (whileWaiting) {
        const auto hook = std::exchange(whileWaiting, nullptr);
        hook(std::string(what) + " " + std::string(address));
    }
}

bool FakeRequests::FetchTree(std::string_view address, std::string&) {
    Waiting("tree", address);
    return false;
}

bool FakeRequests::FetchWatchSetting(std::string_view address, std::string&) {
    Waiting("setting", address);
    return false;
}

bool FakeRequests::SendWatchSetting(std::string_view address,
                                    const std::vector<std::string>& lines) {
    Waiting("post", address);
    posts.emplace_back(std::string(address), lines);
    const auto it = postOk.find(std::string(address));
    return it == postOk.end() || it->second;
}

std::string FakeRequests::FetchFileView(std::string_view address, std::string_view remotePath) {
    Waiting("file", address);
    const std::string key = std::string(address) + "|" + std::string(remotePath);
    fileRequests.push_back(key);
    const auto it = files.find(key);
    if (it == files.end()) {
        throw std::runtime_error("404 " + key);
    }
    return it->second;
}

ManagerFixture::ManagerFixture(const std::vector<std::string>& servers, const std::string& rows,
                               const std::string& mail) {
    std::string csv = "\"ServerName\",\"IPAddress\"\r\n\"DefaultSetting\",\"DefaultSetting\"\r\n";
    for (const std::string& server : servers) {
        const std::size_t comma = server.find(',');
        csv += "\"" + server.substr(0, comma) + "\",\"" + server.substr(comma + 1) + "\"\r\n";
    }
    dir.Write("Server.csv", csv);
    dir.Write(
        "Kestrelview.cnf",
        "\"FileName\",\"SearchString\",\"SearchCount\",\"MailAddress\",\"Command\"\r\n" + rows);
    dir.Write("env.csv", "\"MailSubject\",\"MailBody\",\"SMTPServer\",\"FromMailAddress\"\r\n" +
                             (mail.empty() ? std::string("\"\",\"\",\"\",\"\"\r\n") : mail));
}

void ManagerFixture::Start() {
    model.emplace(user, DataDir());
    model->SetRequestPort(&requests);
    model->FormCreate();
    model->FormShow();
}

void ManagerFixture::Load(std::size_t index, const std::string& settingText) {
    model->SetSettingText(index, settingText);
    model->MarkLoaded(model->ServerNode(index));
}

NodeTree::Id FetchedBranch(ManagerModel& model, std::size_t index,
                           const std::vector<std::string>& path) {
    std::string text = "IsDir /\n";
    for (std::size_t i = 0; i < path.size(); ++i) {
        text += std::string(i + 1, '\t') + (i + 1 == path.size() ? "" : "IsDir ") + path[i] + "\n";
    }
    model.SetTreeText(index, text);
    TreeProgress progress;
    NodeTree::Id node = model.ServerNode(index);
    model.DropSubtree(node);
    model.BuildSubtree(node, index, progress);
    for (std::size_t i = 0; i <= path.size(); ++i) {
        node = model.Pane().Children(node).back();
    }
    return node;
}

void ManagerFixture::Select(std::size_t index) {
    model->SelectNode(model->ServerNode(index));
}

std::string AgentSetting(const std::vector<std::string>& files, const std::string& name,
                         const std::string& logPath) {
    std::string text;
    for (const std::string& file : files) {
        text += "\"" + file + "\",\"err\",\"1\",\"a@b\",\"\"\r\n";
    }
    text += "\"subj\",\"l1\tl2\",\"smtp\",\"from@x\",\"" + name + "\"\r\n";
    text += "\"" + logPath + "\"\r\n";
    return text;
}

}  // namespace kv::test
