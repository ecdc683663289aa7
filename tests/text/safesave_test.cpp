#include "text/safesave.h"
#include "tests/text/scratchdir.h"

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

StreamWriter writeText(const std::string& text) {
    return [text](std::ostream& out) { out << text; };
}

TEST(SafeSave, CreatesAndReplacesLeavingNoTemporary) {
    ScratchDir dir;
    const auto target = dir.file("doc.voi");
    saveReplacing(target, writeText("first\n"));
    saveReplacing(target, writeText("second\n"), "Failed opening STC for writing: ", std::ios::binary);
    EXPECT_EQ(readAll(target), "second\n");
    EXPECT_EQ(dir.names(), std::set<std::string>{"doc.voi"});
}

TEST(SafeSave, FailuresKeepTheOldFileAndNameThePath) {
    ScratchDir dir;
    const auto missing = dir.file("no/such/folder/doc.stc");
    const auto taken = dir.file("taken");  // a folder where the file should go
    const auto full = dir.file("full.voi");
    fs::create_directory(taken);
    writeAll(full, "precious");
    const std::pair<std::string, std::function<void()>> cases[] = {
        {"Failed opening STC for writing: " + missing,
         [&] { saveReplacing(missing, writeText("x"), "Failed opening STC for writing: "); }},
        {"Cannot Create file: " + taken, [&] { saveReplacing(taken, writeText("x")); }},
        {"Cannot Create file: " + full, [&] {
             saveReplacing(full, [](std::ostream& out) {
                 for (int i = 0; i < 100000; ++i) out << "128 128 128\n";
             });
         }}};
    for (const auto& [expected, call] : cases)
        EXPECT_EQ(errorWithFileSizeLimit(64 * 1024, call), expected);
    EXPECT_EQ(readAll(full), "precious");
    EXPECT_EQ(dir.names(), (std::set<std::string>{"full.voi", "taken"}));
}

TEST(SafeSave, WriterExceptionPassesThroughAfterCleanUp) {
    ScratchDir dir;
    const auto target = dir.file("doc.voi");
    writeAll(target, "precious");
    const auto broken = [](std::ostream& out) {
        out << "partial";
        throw std::logic_error("broken writer");
    };
    EXPECT_THROW(saveReplacing(target, broken), std::logic_error);
    EXPECT_EQ(readAll(target), "precious");
    EXPECT_EQ(dir.names(), std::set<std::string>{"doc.voi"});
}

TEST(SafeSave, KeepsLinksAndPermissions) {
    ScratchDir dir;
    const auto real = dir.file("real.trf");
    const auto link = dir.file("link.trf");
    writeAll(real, "old");
    const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(real, mode);
    fs::create_symlink(real, link);
    saveReplacing(link, writeText("new"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readAll(real), "new");
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all, mode);
}

} // namespace
