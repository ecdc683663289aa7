// Replacing and failing are covered with every document's save; owners, folders, devices and
// kills through the host (tests/e2e); here the rest of what the one save helper promises.
#include "tests/text/scratchdir.h"
#include <vocelle/text/safesave.h>

#include <gtest/gtest.h>

#include <sys/wait.h>

using namespace vocelle;

namespace {

namespace fs = std::filesystem;

// Modes and owners kept are shown through the host (tests/e2e).
TEST(SafeSave, KeepsLinks) {
    ScratchDir dir;
    const auto real = dir.file("real.trf"), link = dir.file("link.trf");
    writeAll(real, "old");
    fs::create_symlink(real, link);
    saveReplacing(link, [](std::ostream& out) { out << "new"; });
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readAll(real), "new");
    // The writer's own exception passes on, after the clean-up.
    const auto broken = [](std::ostream& out) {
        out << "partial";
        throw std::logic_error("broken writer");
    };
    EXPECT_THROW(saveReplacing(link, broken), std::logic_error);
    EXPECT_EQ(readAll(real), "new");
    EXPECT_EQ(dir.names(), (std::set<std::string>{"link.trf", "real.trf"}));
}

// Where the file system makes no unnamed files, the named temporary is gone after a stop by
// SIGTERM too, and the old file stays.
TEST(SafeSave, NamedTemporaryGoesWithAStop) {
    ScratchDir dir;
    writeAll(dir.file("a.voi"), "old");
    allowUnnamedTemporaries(false);
    saveReplacing(dir.file("a.voi"), [](std::ostream& out) { out << "new"; });
    const pid_t child = ::fork();
    if (child == 0) {
        saveReplacing(dir.file("a.voi"), [](std::ostream& out) {
            out << "cut" << std::flush;
            ::raise(SIGTERM);
        });
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    allowUnnamedTemporaries(true);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_EQ(readAll(dir.file("a.voi")), "new");
    EXPECT_EQ(dir.names(), std::set<std::string>{"a.voi"});
}

} // namespace
