// Replacing and failing at opening or half way are covered with every document's save; here the
// rest of what the one save helper promises.
#include "tests/text/scratchdir.h"
#include "text/safesave.h"

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

TEST(SafeSave, FailuresKeepWhatWasThere) {
    ScratchDir dir;
    const auto taken = dir.file("taken"), target = dir.file("doc.voi");
    fs::create_directory(taken); // a folder where the file should go
    EXPECT_EQ(errorOf([&] { saveReplacing(taken, [](std::ostream& out) { out << "x"; }); }),
              "Cannot Create file: " + taken);
    // The writer's own exception passes on, after the clean-up.
    writeAll(target, "precious");
    const auto broken = [](std::ostream& out) {
        out << "partial";
        throw std::logic_error("broken writer");
    };
    EXPECT_THROW(saveReplacing(target, broken), std::logic_error);
    EXPECT_EQ(readAll(target), "precious");
    EXPECT_EQ(dir.names(), (std::set<std::string>{"doc.voi", "taken"}));
}

TEST(SafeSave, KeepsLinksAndPermissions) {
    ScratchDir dir;
    const auto real = dir.file("real.trf"), link = dir.file("link.trf");
    writeAll(real, "old");
    const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(real, mode);
    fs::create_symlink(real, link);
    saveReplacing(link, [](std::ostream& out) { out << "new"; });
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readAll(real), "new");
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all, mode);
}

} // namespace
