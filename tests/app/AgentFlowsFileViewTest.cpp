#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "Fakes.h"
#include "app/AgentFlows.h"

using namespace kv::agent;
using namespace kv::app;

namespace kv::test {
namespace {

// Remembers every viewer the model asked for.
class ViewingUser : public ScriptedUser {
public:
    std::vector<std::pair<std::string, std::string>> views;
    void OpenFileView(std::string_view caption, std::string text) override {
        views.emplace_back(caption, text);
    }
};

class FileViewing : public ::testing::Test {
protected:
    ManagerFixture f{{"a,127.10.0.1"}};
    ViewingUser user;
    std::optional<ManagerModel> m;
    std::optional<AgentFlows> flows;
    NodeTree::Id var = NodeTree::kNone;
    NodeTree::Id messages = NodeTree::kNone;

    void SetUp() override {
        m.emplace(user, f.DataDir());
        m->SetRequestPort(&f.requests);
        m->FormCreate();
        m->FormShow();
        flows.emplace(*m);
        flows->Install();
        messages = FetchedBranch(*m, 1, {"var", "log", "messages"});
        var = m->Pane().Parent(m->Pane().Parent(messages));
        f.requests.files["127.10.0.1|/var/log/messages"] = "first\nsecond";
    }

    void ExpectWindowRestored() const {
        EXPECT_TRUE(m->MainWindowEnabled());
        EXPECT_EQ(user.busyDepth, 0);
    }
};

TEST_F(FileViewing, DoubleClickOpensOneViewerPerRequestWithPreparedText) {
    m->SelectNode(messages);
    m->DoubleClickNode();
    m->DoubleClickNode();
    ASSERT_EQ(user.views.size(), 2u);
    EXPECT_EQ(user.views[0].first, "127.10.0.1 - /var/log/messages");
    EXPECT_EQ(user.views[0].second, "first\r\nsecond\r\n");
    EXPECT_EQ(user.views[1], user.views[0]);
    EXPECT_EQ(f.requests.fileRequests.size(), 2u);
    ExpectWindowRestored();
    EXPECT_TRUE(user.messages.empty());
}

TEST_F(FileViewing, TextEndsAtANulByte) {
    f.requests.files["127.10.0.1|/var/log/messages"] = std::string("shown\r\nkept\0hidden", 18);
    m->SelectNode(messages);
    m->Execute(CommandId::TreeViewFile);
    ASSERT_EQ(user.views.size(), 1u);
    EXPECT_EQ(user.views[0].second, "shown\r\nkept\r\n");
}

TEST_F(FileViewing, BothPopupEntriesViewTheSelectedFile) {
    m->SelectNode(messages);
    m->OpenTreePopup();
    m->Execute(CommandId::TreeFetch);
    m->Execute(CommandId::TreeViewFile);
    EXPECT_EQ(user.views.size(), 2u);
}

TEST_F(FileViewing, MissingFileGivesTheMessageAndNoViewer) {
    f.requests.files.clear();
    m->SelectNode(messages);
    m->DoubleClickNode();
    EXPECT_TRUE(user.views.empty());
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0], ManagerModel::CommunicationFailureText());
    EXPECT_TRUE(user.errors.empty());
    ExpectWindowRestored();
}

TEST_F(FileViewing, DirectoryNodesAreNotViewed) {
    m->SelectNode(var);
    m->DoubleClickNode();
    m->Execute(CommandId::TreeViewFile);
    EXPECT_TRUE(user.views.empty());
    EXPECT_TRUE(f.requests.fileRequests.empty());
}

}  // namespace
}  // namespace kv::test
