#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/ManagerModel.h"
#include "app/ModelObserver.h"
#include "app/RequestPort.h"
#include "app/UserPort.h"
#include "support/TempDir.h"

using namespace kv::store;
using namespace kv::settings;
using namespace kv::agent;
using namespace kv::app;

namespace kv::test {

// A user who answers from a script and remembers what was shown to them. An unscripted
// question is answered with OK/Yes so that a forgotten answer shows up as a visible effect.
class ScriptedUser : public UserPort {
public:
    std::deque<bool> okAnswers;
    std::deque<YesNoCancel> yesNoAnswers;
    std::deque<std::optional<std::string>> openNames;
    std::deque<std::optional<std::string>> saveNames;

    std::vector<std::string> questions;
    std::vector<std::string> messages;
    std::vector<std::string> errors;
    std::vector<FocusTarget> focus;
    std::vector<FileDialogOptions> dialogs;
    std::vector<std::string> webPages;
    int busyDepth = 0;
    int busyCalls = 0;
    int versionShown = 0;
    int closeRequests = 0;

    bool ConfirmOkCancel(std::string_view text) override;
    YesNoCancel AskYesNoCancel(std::string_view text) override;
    void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
    void ReportError(std::string_view text) override { errors.emplace_back(text); }
    std::optional<std::string> ChooseOpenFile(const FileDialogOptions& options) override;
    std::optional<std::string> ChooseSaveFile(const FileDialogOptions& options) override;
    void SetBusyCursor(bool busy) override;
    void MoveFocus(FocusTarget target) override { focus.push_back(target); }
    void CloseMainWindow() override { ++closeRequests; }
    void OpenWebPage(std::string_view url) override { webPages.emplace_back(url); }
    void ShowVersionWindow() override { ++versionShown; }
    bool ShowAddServerDialog(const TryAddress& tryAddress) override;
    void OpenFileView(std::string_view caption, std::string text) override;
};

// An Agent fleet in memory: replies by address and path, and a record of requests.
class FakeRequests : public RequestPort {
public:
    std::map<std::string, std::string> files;  // "address|path" -> body
    std::map<std::string, bool> postOk;        // address -> result (default true)
    std::vector<std::string> fileRequests;     // "address|path"
    std::vector<std::pair<std::string, std::vector<std::string>>> posts;
    std::string user, password, port;
    int applied = 0;
    // Runs once, inside the next request, as the user or the network would act while it
    // waits; it hears what is being asked ("tree|setting|post|file address").
    std::function<void(const std::string& request)> whileWaiting;
    void Waiting(std::string_view what, std::string_view address);

    void ApplyConnection(std::string_view u, std::string_view p, std::string_view pt) override;
    bool FetchTree(std::string_view address, std::string& target) override;
    bool FetchWatchSetting(std::string_view address, std::string& target) override;
    bool SendWatchSetting(std::string_view address, const std::vector<std::string>& lines) override;
    std::string FetchFileView(std::string_view address, std::string_view remotePath) override;
};

class RecordingObserver : public ModelObserver {
public:
    ChangeMask seen = 0;
    void ModelChanged(ChangeMask what) override { seen |= what; }
};

// Writes a data directory, starts a model on it and shows it.
struct ManagerFixture {
    TempDir dir;
    ScriptedUser user;
    FakeRequests requests;
    std::optional<ManagerModel> model;

    // Server.csv lines after the header, each "name,address".
    explicit ManagerFixture(const std::vector<std::string>& servers = {},
                            const std::string& rows = "", const std::string& mail = "");
    void Start();
    // Gives server `index` a fetched setting and marks its node loaded.
    void Load(std::size_t index, const std::string& settingText);
    void Select(std::size_t index);
    std::string DataDir() const { return dir.Path() + "/"; }
};

// Gives server `index` a fetched tree with one branch below "/": directories named by
// `path`, its last name a file. Marks the node loaded; returns the branch's last node.
NodeTree::Id FetchedBranch(ManagerModel& model, std::size_t index,
                           const std::vector<std::string>& path);

// A setting text as an Agent sends it: rows "file" with count 1, a mail line, a log line.
std::string AgentSetting(const std::vector<std::string>& files, const std::string& name,
                         const std::string& logPath = "/var/log/kv/20260307.log");

}  // namespace kv::test
