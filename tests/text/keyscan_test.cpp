#include "text/keyscan.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

TEST(KeyScan, DispatchesOnlyWordsActuallyRead) {
    // With a line end after the last value the final extraction fails; the last key must not be
    // read a second time (which would zero it).
    for (const char* text : {"Junk: 2 Scale: 4.25\n", "Scale: 4.25\n\n  \n", "Scale: 4.25"}) {
        std::istringstream in(text);
        Line<float> scale;
        Line<int> count;
        EXPECT_FALSE(scanKeys(in, {lineKey("Scale:", scale), lineKey("Count:", count)}, "Count:")) << text;
        EXPECT_EQ(scale.value(), 4.25f) << text;
        EXPECT_FALSE(count.isSet());
    }
}

TEST(KeyScan, EndsAtEndKeyOrFailedValue) {
    std::istringstream in("Color: 1 2 3 Count: 3 After: 1 Count: 9");
    Line<int> count;
    int sum = 0;
    const KeyTable keys = {lineKey("Count:", count), {"Color:", [&](std::istream& s, const std::string&) {
                                                          int a = 0, b = 0, c = 0;
                                                          s >> a >> b >> c;
                                                          sum = a + b + c;
                                                      }}};
    EXPECT_TRUE(scanKeys(in, keys, "Count:"));
    EXPECT_EQ(sum, 6);
    EXPECT_EQ(count.value(), 3);

    std::istringstream bad("Count: abc\nColor: 1 1 1\n");
    EXPECT_FALSE(scanKeys(bad, keys));
    EXPECT_EQ(sum, 6);
}

} // namespace
