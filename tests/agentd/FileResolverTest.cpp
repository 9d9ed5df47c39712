#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agentd/FileResolver.h"
#include "support/TempDir.h"
#include "text/Cp932.h"

using namespace kv::text;
using namespace kv::agentd;

namespace kv {
namespace {

namespace fs = std::filesystem;

class FileResolverTest : public testing::Test {
protected:
    FileResolverTest()
        : base_(fs::canonical(dir_.Path()).string()),
          resolver_(base_ + "/root", base_ + "/log", base_ + "/log", {base_ + "/root/private"}) {
        fs::create_directories(dir_.File("root/etc"));
        fs::create_directories(dir_.File("root/private"));
        dir_.Write("root/private/key", "k");
        fs::create_symlink(base_ + "/root/private/key", dir_.File("root/keylink"));
        fs::create_directories(dir_.File("outside"));
        fs::create_directories(dir_.File("log"));
        dir_.Write("root/etc/hosts", "h");
        dir_.Write("root/日本語 ファイル.txt", "j");
        dir_.Write("outside/secret.txt", "s");
        dir_.Write("log/20260301.log", "l");
        fs::create_symlink(base_ + "/outside/secret.txt", dir_.File("root/escape"));
        fs::create_directory_symlink(base_ + "/outside", dir_.File("root/dirlink"));
        fs::create_symlink(base_ + "/root/etc/hosts", dir_.File("root/inner"));
    }

    std::string Root(const std::string& relative) const { return base_ + "/root" + relative; }

    test::TempDir dir_;
    std::string base_;
    FileResolver resolver_;
};

TEST_F(FileResolverTest, ServesRegularFilesInsideTheRoot) {
    EXPECT_EQ(resolver_.Resolve("/etc/hosts"), Root("/etc/hosts"));
    EXPECT_EQ(resolver_.Resolve("/etc/../etc/./hosts"), Root("/etc/hosts"));
    EXPECT_EQ(resolver_.Resolve("/inner"), Root("/etc/hosts"));
    // Shift_JIS on the wire, UTF-8 on the disk.
    EXPECT_EQ(resolver_.Resolve(Sjis("/日本語 ファイル.txt")), Root("/日本語 ファイル.txt"));
}

TEST_F(FileResolverTest, RefusesEscapesDirectoriesAndMalformedPaths) {
    for (const std::string& path : std::vector<std::string>{
             "/../outside/secret.txt", "/etc/../../outside/secret.txt", "/escape",
             "/dirlink/secret.txt", "/etc", "/", "/missing", "etc/hosts", "",
             std::string("/etc/hosts\0x", 12), "/\x82",
             "/\xff"
             "etc",
             // Encoded bytes are names, not dots; a Shift_JIS lead byte
             // cannot swallow the slash after it.
             "/%2e%2e/outside/secret.txt", "/etc/\x83/../../outside/secret.txt",
             "/etc/\x83\x5c../../outside/secret.txt",
             // Excluded directories, however reached.
             "/private/key", "/etc/../private/key", "/keylink"}) {
        EXPECT_EQ(resolver_.Resolve(path), std::nullopt) << path;
    }
    // The UTF-8 name itself is not a Shift_JIS path.
    EXPECT_EQ(resolver_.Resolve("/日本語 ファイル.txt"), std::nullopt);
}

TEST_F(FileResolverTest, ServesTheLogDirectoryUnderItsOwnPathOnly) {
    EXPECT_EQ(resolver_.Resolve(base_ + "/log/20260301.log"), base_ + "/log/20260301.log");
    EXPECT_EQ(resolver_.Resolve(base_ + "/log/../outside/secret.txt"), std::nullopt);
    EXPECT_EQ(resolver_.Resolve("/20260301.log"), std::nullopt);
}

}  // namespace
}  // namespace kv
