// Replacing and failing at opening or half way are covered with every document's save; here the
// rest of what the one save helper promises.
#include "tests/text/scratchdir.h"
#include <vocelle/text/safesave.h>

#include <gtest/gtest.h>

using namespace vocelle;

namespace {

namespace fs = std::filesystem;

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
    // The writer's own exception passes on, after the clean-up.
    const auto broken = [](std::ostream& out) {
        out << "partial";
        throw std::logic_error("broken writer");
    };
    EXPECT_THROW(saveReplacing(link, broken), std::logic_error);
    EXPECT_EQ(readAll(real), "new");
    EXPECT_EQ(dir.names(), (std::set<std::string>{"link.trf", "real.trf"}));
}

} // namespace
