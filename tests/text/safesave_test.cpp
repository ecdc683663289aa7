#include "text/safesave.h"
#include "tests/text/scratchdir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <stdexcept>

#include <sys/resource.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

StreamWriter writeText(const std::string& text) {
    return [text](std::ostream& out) { out << text; };
}

std::string messageOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "no exception";
}

TEST(SafeSave, CreatesAndReplacesLeavingNoTemporary) {
    ScratchDir dir;
    const auto target = dir.file("doc.voi");
    saveReplacing(target, writeText("first\n"));
    EXPECT_EQ(readAll(target), "first\n");
    saveReplacing(target, writeText("second\n"), "Failed opening STC for writing: ", std::ios::binary);
    EXPECT_EQ(readAll(target), "second\n");
    EXPECT_EQ(dir.names(), std::set<std::string>{"doc.voi"});
}

TEST(SafeSave, FailureAtOpeningNamesThePath) {
    ScratchDir dir;
    const auto missing = dir.file("no/such/folder/doc.voi");
    EXPECT_EQ(messageOf([&] { saveReplacing(missing, writeText("x")); }),
              "Cannot Create file: " + missing);
    EXPECT_EQ(messageOf([&] { saveReplacing(missing, writeText("x"), "Failed opening STC for writing: "); }),
              "Failed opening STC for writing: " + missing);
    // A folder standing where the file should go cannot be replaced.
    fs::create_directory(dir.file("taken"));
    EXPECT_EQ(messageOf([&] { saveReplacing(dir.file("taken"), writeText("x")); }),
              "Cannot Create file: " + dir.file("taken"));
    EXPECT_EQ(dir.names(), std::set<std::string>{"taken"});
}

TEST(SafeSave, ReadOnlyFolderKeepsExistingFile) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the super-user";
    ScratchDir dir;
    const auto target = dir.file("doc.roi");
    writeAll(target, "precious");
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(messageOf([&] { saveReplacing(target, writeText("new")); }), "Cannot Create file: " + target);
    fs::permissions(dir.path(), fs::perms::owner_all);
    EXPECT_EQ(readAll(target), "precious");
    EXPECT_EQ(dir.names(), std::set<std::string>{"doc.roi"});
}

// A file-size limit makes the write fail half way, as a full disk would.
TEST(SafeSave, WriteFailingHalfWayKeepsExistingFile) {
    ScratchDir dir;
    const auto target = dir.file("doc.voi");
    writeAll(target, "precious");
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto message = messageOf([&] {
        saveReplacing(target, [](std::ostream& out) {
            for (int i = 0; i < 100000; ++i) out << "128 128 128\n";
        });
    });
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(message, "Cannot Create file: " + target);
    EXPECT_EQ(readAll(target), "precious");
    EXPECT_EQ(dir.names(), std::set<std::string>{"doc.voi"});
}

TEST(SafeSave, WriterExceptionPassesThroughAfterCleanUp) {
    ScratchDir dir;
    const auto target = dir.file("doc.voi");
    writeAll(target, "precious");
    EXPECT_THROW(saveReplacing(target,
                               [](std::ostream& out) {
                                   out << "partial";
                                   throw std::logic_error("broken writer");
                               }),
                 std::logic_error);
    EXPECT_EQ(readAll(target), "precious");
    EXPECT_EQ(dir.names(), std::set<std::string>{"doc.voi"});
}

TEST(SafeSave, KeepsLinksAndPermissions) {
    ScratchDir dir;
    const auto real = dir.file("real.trf");
    const auto link = dir.file("link.trf");
    writeAll(real, "old");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(real, link);
    saveReplacing(link, writeText("new"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readAll(real), "new");
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(dir.names(), (std::set<std::string>{"link.trf", "real.trf"}));
}

} // namespace
