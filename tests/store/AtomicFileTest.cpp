#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "store/AtomicFile.h"
#include "store/FileLock.h"
#include "store/InOutError.h"
#include "store/TMlb2.h"
#include "support/TempDir.h"
#include "support/TmpfsMount.h"

using namespace kv::store;

namespace kv {
namespace {

const std::string kOld =
    "\"ServerName\",\"IPAddress\"\r\n\"DefaultSetting\",\"DefaultSetting\"\r\n";

std::string Listing(const std::string& directory) {
    std::string listing;
    for (const auto& item : std::filesystem::directory_iterator(directory)) {
        listing += item.path().filename().string() + " ";
    }
    return listing;
}

// Runs the write and returns the message of the EInOutError it must throw.
std::string FailureOf(const std::string& path, const std::string& bytes) {
    try {
        WriteFileAtomically(path, bytes);
    } catch (const EInOutError& e) {
        return e.what();
    }
    ADD_FAILURE() << "no EInOutError for " << path;
    return {};
}

TEST(AtomicFile, ReplacesTheFileAndLeavesNoTemporary) {
    test::TempDir dir;
    dir.Write("Server.csv", kOld);
    ASSERT_EQ(chmod(dir.File("Server.csv").c_str(), 0640), 0);
    WriteFileAtomically(dir.File("Server.csv"), "new");
    EXPECT_EQ(dir.Read("Server.csv"), "new");
    EXPECT_EQ(Listing(dir.Path()), "Server.csv ");
    struct stat st {};
    ASSERT_EQ(stat(dir.File("Server.csv").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    WriteFileAtomically(dir.File("fresh.csv"), "");
    EXPECT_EQ(dir.Read("fresh.csv"), "");
}

TEST(AtomicFile, SymbolicLinkIsWrittenThrough) {
    test::TempDir dir;
    dir.Write("real.csv", kOld);
    std::filesystem::create_symlink("real.csv", dir.File("link.csv"));
    WriteFileAtomically(dir.File("link.csv"), "new");
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.csv")));
    EXPECT_EQ(dir.Read("real.csv"), "new");
}

TEST(AtomicFile, MissingDirectoryIsAnInOutError) {
    test::TempDir dir;
    const std::string path = dir.File("gone/Server.csv");
    const std::string message = FailureOf(path, "x");
    EXPECT_NE(message.find(path), std::string::npos) << message;
    EXPECT_NE(message.find(std::strerror(ENOENT)), std::string::npos) << message;
    EXPECT_EQ(Listing(dir.Path()), "");
}

TEST(AtomicFile, TargetThatIsADirectoryStaysAndTemporaryGoes) {
    test::TempDir dir;
    std::filesystem::create_directory(dir.File("Server.csv"));
    const std::string message = FailureOf(dir.File("Server.csv"), "x");
    EXPECT_NE(message.find(std::strerror(EISDIR)), std::string::npos) << message;
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("Server.csv")));
    EXPECT_EQ(Listing(dir.Path()), "Server.csv ");
}

TEST(AtomicFile, FullDiskKeepsTheOldFile) {
    test::TmpfsMount disk(64 * 1024);
    KV_SKIP_UNLESS_MOUNTED(disk);
    WriteFileAtomically(disk.File("Server.csv"), kOld);
    disk.Fill();

    const std::string message = FailureOf(disk.File("Server.csv"), std::string(8192, 'y'));
    EXPECT_NE(message.find(disk.File("Server.csv")), std::string::npos) << message;
    EXPECT_NE(message.find(std::strerror(ENOSPC)), std::string::npos) << message;
    EXPECT_EQ(disk.Listing(), "Server.csv");
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(disk.File("Server.csv"), bytes));
    EXPECT_EQ(bytes, kOld);
}

TEST(AtomicFile, ReadOnlyFileSystemKeepsTheOldFile) {
    test::TmpfsMount disk(64 * 1024);
    KV_SKIP_UNLESS_MOUNTED(disk);
    WriteFileAtomically(disk.File("Server.csv"), kOld);
    if (!disk.MakeReadOnly()) {
        GTEST_SKIP() << disk.Reason();
    }

    TMlb2 table;
    table.AddField("X");
    try {
        table.SaveToFile(disk.File("Server.csv"));
        ADD_FAILURE() << "a save to a read-only file system succeeded";
    } catch (const EInOutError& e) {
        EXPECT_NE(std::string(e.what()).find(std::strerror(EROFS)), std::string::npos) << e.what();
    }
    EXPECT_EQ(disk.Listing(), "Server.csv");
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(disk.File("Server.csv"), bytes));
    EXPECT_EQ(bytes, kOld);
}

TEST(AtomicFile, ReadOnlyFileIsNotReplaced) {
    // Root may write anything, so the write runs in a child that has dropped to nobody.
    test::TempDir dir;
    dir.Write("Server.csv", kOld);
    ASSERT_EQ(chmod(dir.Path().c_str(), 0777), 0);
    ASSERT_EQ(chmod(dir.File("Server.csv").c_str(), 0444), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int code = 3;
        if (setgid(65534) == 0 && setuid(65534) == 0) {
            code = 2;
            try {
                WriteFileAtomically(dir.File("Server.csv"), "new");
            } catch (const EInOutError& e) {
                code = std::string(e.what()).find(std::strerror(EACCES)) != std::string::npos;
            }
        }
        _exit(code);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 3) {
        GTEST_SKIP() << "cannot drop to an unprivileged user here";
    }
    EXPECT_EQ(WEXITSTATUS(status), 1) << "2: written over, 0: wrong message";
    EXPECT_EQ(dir.Read("Server.csv"), kOld);
    EXPECT_EQ(Listing(dir.Path()), "Server.csv ");
}

// The content is written without a name: a writer killed at any moment leaves the old file
// and nothing beside it.
TEST(AtomicFile, WriterKilledMidwayLeavesNoTemporary) {
    test::TempDir dir;
    dir.Write("Server.csv", kOld);
    const std::string big(256u << 20, 'n');
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        WriteFileAtomically(dir.File("Server.csv"), big);
        _exit(0);
    }
    usleep(30000);
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(Listing(dir.Path()), "Server.csv ");
    const std::string now = dir.Read("Server.csv");
    EXPECT_TRUE(now == kOld || now == big) << now.size();
}

// The lock is held across processes: the second taker waits until the first lets go, and
// then sees what the first wrote.
TEST(FileLock, SecondTakerWaitsForTheFirst) {
    test::TempDir dir;
    dir.Write("Server.csv", "before");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const store::FileLock lock(dir.File("Server.csv"));
        (void)!write(ready[1], "x", 1);
        usleep(300000);
        WriteFileAtomically(dir.File("Server.csv"), "after");
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    {
        const store::FileLock lock(dir.File("Server.csv"));
        EXPECT_EQ(dir.Read("Server.csv"), "after");
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    close(ready[0]);
    close(ready[1]);
    EXPECT_TRUE(std::filesystem::exists(store::FileLock::LockPathOf(dir.File("Server.csv"))));
}

TEST(AtomicFile, ReadWholeFile) {
    test::TempDir dir;
    std::string bytes = "untouched";
    EXPECT_FALSE(ReadWholeFile(dir.File("missing"), bytes));
    EXPECT_FALSE(ReadWholeFile(dir.Path(), bytes));
    EXPECT_EQ(bytes, "untouched");

    const std::string big(200000, '\0');
    dir.Write("big", big + "end");
    ASSERT_TRUE(ReadWholeFile(dir.File("big"), bytes));
    EXPECT_EQ(bytes, big + "end");
}

}  // namespace
}  // namespace kv
