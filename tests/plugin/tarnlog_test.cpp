#include <vocelle/plugin/tarnlog.h>

#include "tests/plugin/hostcapture.h"

using namespace vocelle;

namespace {

using LogStream = WithHost;
using Entries = std::vector<std::string>;

TEST_F(LogStream, EachFlushIsOneEntryAsWritten) {
    logger << "Converted " << std::string("/data/s1/run1.roi") << std::flush;
    logger << "two\nlines\n" << 42;
    EXPECT_EQ(logs(), (Entries{"Converted /data/s1/run1.roi"})); // nothing without a flush
    logger << std::flush;
    logger.flush();
    EXPECT_EQ(logs(), (Entries{"Converted /data/s1/run1.roi", "two\nlines\n42", ""}));
    // Destruction hands over pending text, then its own line; without a host it drops both.
    logs().clear();
    {
        TarnLog log;
        log << "unflushed";
    }
    EXPECT_EQ(logs(), (Entries{"unflushed", "Destructor of TarnLog never called"}));
    logs().clear();
    tarn::hxLogText = nullptr;
    {
        TarnLog log;
        log << "dropped" << std::flush << "also dropped";
    }
    EXPECT_TRUE(logs().empty());
}

// Each part compared as a number.
TEST(HostVersion, ComparedPartByPart) {
    const int cases[][4] = {{1, 99, 99, 0}, {2, 7, 9, 0}, {2, 8, -1, 0},
                            {2, 8, 0, 1},   {2, 9, 0, 1}, {3, 0, 0, 1}};
    for (const auto& c : cases)
        EXPECT_EQ(checkVersionGreaterEqualVersion(c[0], c[1], c[2], 2, 8, 0), c[3] == 1)
            << c[0] << "." << c[1] << "." << c[2];
}

// The test program exports no host functions, so binding fails and leaves the table empty.
TEST_F(LogStream, BindingFailsWithoutAVersionFunction) {
    EXPECT_FALSE(InitHXAccess());
    EXPECT_EQ(tarn::hxGetVersionOfCorvane, nullptr);
}

} // namespace
