#include <gtest/gtest.h>

#include "Fakes.h"
#include "settings/WatchSetting.h"
#include "text/Cp932.h"

using namespace kv::text;

namespace kv::test {
namespace {

// A double quote or a line break inside a value would split or shift a row of the setting
// text at the next upload. Each door the text arrives through refuses it or says so, and
// what the pages then hold builds a setting text with one line per row.
TEST(UncarriableText, EveryDoorRefusesOrSaysIt) {
    enum class Door { Import, DefaultRows, DefaultMail, Agent };
    struct Case {
        const char* name;
        Door door;
        std::string bytes;      // the import file, Kestrelview.cnf, env.csv or the Agent's text
        std::string firstFile;  // grid cell (1,1) afterwards
        std::string said;       // a fragment of the message shown, empty: none beyond the usual
    };
    const std::string header =
        "\"FileName\",\"SearchString\",\"SearchCount\",\"MailAddress\","
        "\"Command\"\r\n";
    const Case cases[] = {
        {"import, quote", Door::Import,
         header + "\"/q\"\"x\",\"s\",\"1\",\"m\",\"c\"\r\n\"/ok\",\"s\",\"1\",\"m\",\"c\"\r\n",
         "/ok", "\t\t1\t1\t1"},
        {"import, line break", Door::Import,
         header + "\"/ok\",\"s\",\"1\",\"m\",\"c\"\r\n\"/b\",\"a\r\nb\",\"1\",\"m\",\"c\"\r\n",
         "/ok", "\t\t1\t2\t1"},
        {"import, clean", Door::Import, header + "\"/ok\",\"s\",\"1\",\"m\",\"c\"\r\n", "/ok",
         "\t\t0\t0\t0"},
        {"default rows, quote", Door::DefaultRows,
         "\"/a\",\"s\",\"1\",\"m\",\"c\"\r\n\"/d\"\"q\",\"s\",\"1\",\"m\",\"c\"\r\n", "/a",
         "Kestrelview.cnf 2"},
        {"default rows, line break", Door::DefaultRows, "\"/a\",\"x\ny\",\"1\",\"m\",\"c\"\r\n",
         "/a", "Kestrelview.cnf 1"},
        {"default mail, quote in the subject", Door::DefaultMail,
         "\"say \"\"hi\"\"\",\"b\",\"smtp\",\"f@x\"\r\n", "", "env.csv"},
        {"agent, quote", Door::Agent, AgentSetting({"/g\"\"x"}, "web", ""), "/gx",
         "\x82\xb1\x82\xcc\x90\xdd\x92\xe8"},
        {"agent, clean", Door::Agent, AgentSetting({"/g"}, "web", ""), "/g", ""},
    };
    const std::string noticeTail = Sjis("取り除いて表示します。");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ManagerFixture f({"web,127.10.0.1"}, c.door == Door::DefaultRows ? c.bytes : "",
                         c.door == Door::DefaultMail ? c.bytes : "");
        f.Start();
        switch (c.door) {
            case Door::Import:
                f.dir.Write("in.csv", c.bytes);
                f.user.openNames = {f.dir.File("in.csv")};
                f.model->Execute(CommandId::Import);
                break;
            case Door::Agent:
                f.Load(1, c.bytes);
                f.Select(1);
                break;
            default:
                break;
        }
        EXPECT_EQ(f.model->Grid().Cell(1, 1), c.firstFile);
        const std::string shown = f.user.messages.empty() ? "" : f.user.messages.back();
        if (c.said.empty()) {
            EXPECT_EQ(shown.find(noticeTail), std::string::npos) << shown;
        } else {
            EXPECT_NE(shown.find(c.said), std::string::npos) << shown;
        }
        const std::size_t shownIndex = c.door == Door::Agent ? 1 : 0;
        ASSERT_TRUE(f.model->CaptureWatchSetting(shownIndex));
        const settings::WatchSetting back =
            settings::ParseSettingText(f.model->Servers().Entry(shownIndex).SettingText);
        for (const settings::WatchRow& row : back.Rows) {
            EXPECT_TRUE(settings::CanCarry(row)) << row.FileName;
        }
        EXPECT_EQ(back.Mail.MailSubject.find('"'), std::string::npos);
    }
}

}  // namespace
}  // namespace kv::test
