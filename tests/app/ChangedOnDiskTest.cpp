#include <gtest/gtest.h>

#include "Fakes.h"
#include "text/Cp932.h"

using namespace kv::text;

namespace kv::test {
namespace {

// Another program's write between the window's load and its save: the save asks before
// overwriting it, and Cancel writes nothing. The save walks upload all the same and then
// say in the status bar that the default files were kept.
TEST(ChangedOnDisk, SaveAsksBeforeOverwritingAnotherProgramsWrite) {
    const std::string other = "\"other\",\"program\"\r\n";
    const std::string kept = Sjis("デフォルト設定はファイルに保存されませんでした。");
    enum class Save { ServerList, Default, All, Distribute, Close };
    const auto command = [](Save save) {
        switch (save) {
            case Save::Default:
                return CommandId::GrdSave;
            case Save::All:
                return CommandId::GrdAllSave;
            case Save::Distribute:
                return CommandId::DefaultSet;
            default:
                return CommandId::Save;
        }
    };
    struct Case {
        const char* name;
        Save save;
        const char* changedFile;  // nullptr: nobody else wrote
        std::deque<bool> okAnswers;
        bool written;
    };
    const Case cases[] = {
        {"server list untouched", Save::ServerList, nullptr, {true}, true},
        {"server list changed, OK", Save::ServerList, "Server.csv", {true, true}, true},
        {"server list changed, Cancel", Save::ServerList, "Server.csv", {true, false}, false},
        {"default untouched", Save::Default, nullptr, {true}, true},
        {"rows file changed, Cancel", Save::Default, "Kestrelview.cnf", {true, false}, false},
        {"mail file changed, OK", Save::Default, "env.csv", {true, true}, true},
        {"mail file changed, Cancel", Save::Default, "env.csv", {true, false}, false},
        {"save all, untouched", Save::All, nullptr, {true}, true},
        {"save all, rows file changed, Cancel", Save::All, "Kestrelview.cnf", {true, false}, false},
        {"distribution, mail file changed, OK", Save::Distribute, "env.csv", {true, true}, true},
        {"distribution, rows file changed, Cancel",
         Save::Distribute,
         "Kestrelview.cnf",
         {true, false},
         false},
        {"close question, changed, Cancel", Save::Close, "Server.csv", {false}, false},
        {"close question, changed, OK", Save::Close, "Server.csv", {true}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ManagerFixture f({"web,127.10.0.1"}, "\"/var/log/a\",\"ERR\",\"2\",\"m@x\",\"cmd\"\r\n",
                         "\"Subj\",\"body\",\"smtp.x\",\"me@x\"\r\n");
        f.Start();
        f.Load(1, AgentSetting({"/a"}, "web"));
        const bool walk = c.save == Save::All || c.save == Save::Distribute;
        const std::string watched = c.changedFile                     ? c.changedFile
                                    : c.save == Save::Default || walk ? "Kestrelview.cnf"
                                                                      : "Server.csv";
        if (c.changedFile) {
            f.dir.Write(c.changedFile, other);
        }
        const std::string before = f.dir.Read(watched);
        f.user.okAnswers = c.okAnswers;
        const std::size_t asked = f.user.questions.size();
        if (c.save == Save::Close) {
            f.user.yesNoAnswers = {YesNoCancel::Yes};
            EXPECT_EQ(f.model->FormCloseQuery(), c.written);
        } else {
            f.model->Execute(command(c.save));
        }
        const std::size_t overwriteQuestions = c.changedFile ? 1 : 0;
        ASSERT_EQ(f.user.questions.size() - asked, 1 + overwriteQuestions);
        if (c.changedFile) {
            EXPECT_EQ(f.user.questions.back(),
                      std::string(c.changedFile) +
                          Sjis(" は読み込んだ後に他のプログラムで変更されています。\r\n"
                               "上書きしてよろしいですか？"));
        }
        EXPECT_EQ(f.dir.Read(watched) != before, c.written && c.changedFile != nullptr);
        EXPECT_TRUE(f.user.errors.empty());
        EXPECT_EQ(f.model->Servers().Count(), 2u);
        EXPECT_EQ(f.requests.posts.size(), walk ? 1u : 0u);
        EXPECT_EQ(f.model->StatusText() == kept, walk && !c.written);

        // Once written, the window's own file is no longer "changed": the next save asks only
        // its own question.
        if (c.written && c.save != Save::Close) {
            const std::size_t again = f.user.questions.size();
            f.model->Execute(command(c.save));
            EXPECT_EQ(f.user.questions.size() - again, 1u);
        }
    }
}

}  // namespace
}  // namespace kv::test
