#include "plugin/tarnlog.h"

#include "plugin/TarnPluginInterface.h"
#include "tests/plugin/hostcapture.h"

#include <gtest/gtest.h>

namespace {

using LogStream = WithHost;
using Entries = std::vector<std::string>;

TEST_F(LogStream, EachFlushIsOneEntryExactlyAsWritten) {
    logger << "Converted " << std::string("/data/s1/run1.roi") << std::flush;
    logger << "two\nlines\n" << 42 << std::flush;
    logger.flush();
    EXPECT_EQ(logs(), (Entries{"Converted /data/s1/run1.roi", "two\nlines\n42", ""}));
    EXPECT_TRUE(logger.good());
}

TEST_F(LogStream, NothingLeavesWithoutAFlush) {
    logger << "pending\n" << "more";
    EXPECT_TRUE(logs().empty());
    logger << std::flush;
    EXPECT_EQ(logs(), (Entries{"pending\nmore"}));
}

TEST_F(LogStream, DestructionHandsOverPendingTextThenItsOwnLine) {
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

TEST(HostVersion, EachPartIsComparedAsANumber) {
    const struct {
        int major, minor, sub;
        bool passes;
    } cases[] = {
        {2, 8, 0, true},  {2, 7, 99, false}, {2, 7, 9, false}, {3, 0, 0, true},  {2, 10, 0, true},
        {2, 9, 0, true},  {2, 8, 1, true},   {1, 99, 99, false}, {2, 8, -1, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(checkVersionGreaterEqualVersion(c.major, c.minor, c.sub, 2, 8, 0), c.passes)
            << c.major << "." << c.minor << "." << c.sub;
}

TEST(HostTable, BindingFailsWithoutAVersionFunction) {
    // The test program exports no host functions, so binding must fail and leave the table empty.
    tarn::hxLogText = &HostCapture::log;
    EXPECT_FALSE(InitHXAccess());
    EXPECT_EQ(tarn::hxGetVersionOfCorvane, nullptr);
    EXPECT_EQ(tarn::hxLogText, nullptr);
}

} // namespace
