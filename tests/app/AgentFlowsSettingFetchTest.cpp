#include <gtest/gtest.h>

#include "AgentFlowsFakes.h"
#include "Fakes.h"
#include "settings/FetchAndSave.h"
#include "text/Cp932.h"

using namespace kv::text;
using namespace kv::settings;
using namespace kv::agent;
using namespace kv::app;

namespace kv::test {
namespace {

const std::string kLog = "/var/log/kv/20260307.log";

class SettingFetch : public AgentFlowsTest {
protected:
    SettingFetch() : AgentFlowsTest({"a,127.10.0.1", "b,127.10.0.2", "c,127.10.0.3"}) {}

    void SetUp() override {
        AgentFlowsTest::SetUp();
        for (const char* address : {"127.10.0.1", "127.10.0.2", "127.10.0.3"}) {
            agents.files[std::string(address) + "|" + kLog] = "log of " + std::string(address);
        }
    }
    void ExpectFetchOver() const {
        ExpectWindowRestored();
        ASSERT_FALSE(f.user.focus.empty());
        EXPECT_EQ(f.user.focus.back(), FocusTarget::Grid);
    }
};

TEST_F(SettingFetch, SingleFetchReplacesUnsavedEditsAndTheCachedLog) {
    f.Load(1, AgentSetting({"/old"}, "alpha", kLog));
    agents.files["127.10.0.1|" + kLog] = "stale log";
    f.Select(1);
    agents.files["127.10.0.1|" + kLog] = "log of 127.10.0.1";
    ASSERT_TRUE(m->EditCell(1, 2, "unsaved"));
    agents.settings["127.10.0.1"] = AgentSetting({"/new"}, "alpha2", kLog);
    const std::size_t questions = f.user.questions.size();
    f.user.focus.clear();
    m->Execute(CommandId::GrdReload);

    EXPECT_EQ(f.user.questions.size(), questions);
    EXPECT_EQ(m->Grid().Cell(1, 1), "/new");
    EXPECT_EQ(m->Grid().Cell(1, 2), "err");
    EXPECT_EQ(m->ServerNameText(), "alpha2");
    EXPECT_EQ(m->LogText().find("log of 127.10.0.1"), 0u);
    EXPECT_TRUE(m->LogTabVisible());
    EXPECT_EQ(f.user.focus.front(), FocusTarget::GridToolBar);
    ExpectFetchOver();
    EXPECT_TRUE(f.user.messages.empty());
}

TEST_F(SettingFetch, SingleFetchFailureClearsThePageAndSaysSo) {
    f.Load(1, AgentSetting({"/old"}, "alpha", kLog));
    f.Select(1);
    m->Execute(CommandId::GrdReload);
    ASSERT_EQ(f.user.messages.size(), 1u);
    EXPECT_EQ(f.user.messages[0], FetchAndSave::CommunicationFailedMessage());
    EXPECT_EQ(m->Grid().Cell(1, 1), "");
    EXPECT_TRUE(m->Servers().Entry(1).SettingText.empty());
    ExpectFetchOver();
}

TEST_F(SettingFetch, LogFailureAfterASingleFetchIsReportedWithItsOwnText) {
    f.Load(1, AgentSetting({"/old"}, "alpha", kLog));
    f.Select(1);
    agents.settings["127.10.0.1"] = AgentSetting({"/new"}, "alpha", kLog);
    agents.files.clear();
    m->Execute(CommandId::GrdReload);
    EXPECT_EQ(m->Grid().Cell(1, 1), "/new");
    ASSERT_EQ(f.user.errors.size(), 1u);
    EXPECT_NE(f.user.errors[0].find("404"), std::string::npos);
    ExpectFetchOver();
}

TEST_F(SettingFetch, FetchAllGoesOnPastAnUnreachableServerAndRedrawsTheCurrentOne) {
    f.Load(1, AgentSetting({"/old"}, "alpha", kLog));
    f.Select(1);
    ASSERT_TRUE(m->EditCell(1, 1, "/unsaved"));
    agents.settings["127.10.0.1"] = AgentSetting({"/a"}, "alpha", kLog);
    agents.settings["127.10.0.3"] = AgentSetting({"/c"}, "gamma", kLog);
    m->Execute(CommandId::GrdAllReload);

    ASSERT_EQ(f.user.messages.size(), 1u);
    EXPECT_EQ(f.user.messages[0], FetchAndSave::FetchAllFailedMessage("127.10.0.2"));
    EXPECT_TRUE(m->IsLoaded(m->ServerNode(1)));
    EXPECT_FALSE(m->IsLoaded(m->ServerNode(2)));
    EXPECT_TRUE(m->IsLoaded(m->ServerNode(3)));
    EXPECT_EQ(m->Servers().Entry(3).SettingText, agents.settings["127.10.0.3"]);
    EXPECT_EQ(m->Grid().Cell(1, 1), "/a");
    ExpectFetchOver();
    EXPECT_EQ(std::count(agents.asked.begin(), agents.asked.end(), "setting DefaultSetting"), 0);
}

TEST_F(SettingFetch, FetchAllWhileTheDefaultIsShownLeavesTheGrid) {
    f.Select(0);
    ASSERT_TRUE(m->EditCell(1, 1, "/default edit"));
    agents.settings["127.10.0.1"] = AgentSetting({"/a"}, "alpha", kLog);
    m->Execute(CommandId::GrdAllReload);
    EXPECT_EQ(m->Grid().Cell(1, 1), "/default edit");
    EXPECT_TRUE(m->IsLoaded(m->ServerNode(1)));
    EXPECT_EQ(f.user.messages.size(), 2u);
}

TEST_F(SettingFetch, FetchAllAskedAndRefusedDoesNothing) {
    f.user.okAnswers.push_back(false);
    m->Execute(CommandId::GrdAllReload);
    EXPECT_TRUE(agents.asked.empty());
    EXPECT_TRUE(m->MainWindowEnabled());
}

}  // namespace
}  // namespace kv::test
