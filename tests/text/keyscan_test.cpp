#include "text/keyscan.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

struct Header {
    Line<int> count;
    Line<float> scale;
    Line<std::string> name;
    Line<bool> verified;
    KeyTable keys() {
        return {lineKey("Count:", count), lineKey("Scale:", scale), lineKey("Name:", name),
                yesNoKey("Verified:", verified)};
    }
};

TEST(KeyScan, DispatchesKnownKeysAndSkipsOthers) {
    std::istringstream in("Unknown: 9\nScale:  2.5\nName: \"x y\"\ncount: 4\nVerified: NO\n"
                          "Count:   3\nAfter: 1");
    Header h;
    EXPECT_TRUE(scanKeys(in, h.keys(), "Count:"));
    EXPECT_EQ(h.scale.value(), 2.5f);
    EXPECT_EQ(h.name.value(), "x y");
    EXPECT_FALSE(h.verified.value());
    EXPECT_EQ(h.count.value(), 3);
    EXPECT_EQ(h.count.getWidth(), 9);
    std::string next;
    in >> next;
    EXPECT_EQ(next, "After:");  // the scan stops right after the end key's value
}

TEST(KeyScan, EndOfFileDispatchesNothingTwice) {
    // With a trailing line end the last extraction fails; the last key must not be read again.
    for (const char* text : {"Scale: 4.25\n", "Scale: 4.25\n\n  \n", "Scale: 4.25"}) {
        std::istringstream in(text);
        Header h;
        EXPECT_FALSE(scanKeys(in, h.keys(), "Count:")) << text;
        EXPECT_EQ(h.scale.value(), 4.25f) << text;
        EXPECT_FALSE(h.count.isSet());
    }
    std::istringstream in("Name: last\n");
    Header h;
    EXPECT_FALSE(scanKeys(in, h.keys()));
    EXPECT_EQ(h.name.value(), "last");
}

TEST(KeyScan, StopsAtValueThatDoesNotParse) {
    std::istringstream in("Scale: abc\nCount: 3\n");
    Header h;
    EXPECT_FALSE(scanKeys(in, h.keys(), "Count:"));
    EXPECT_TRUE(h.scale.isSet());
    EXPECT_FALSE(h.count.isSet());
}

TEST(KeyScan, CustomReaderAndWordHelpers) {
    std::istringstream in("Color: 1 2 3 tail");
    int sum = 0;
    const KeyTable keys = {{"Color:", [&](std::istream& s, const std::string&) {
                                int a = 0, b = 0, c = 0;
                                s >> a >> b >> c;
                                sum = a + b + c;
                            }}};
    std::string word;
    ASSERT_TRUE(readWord(in, word));
    EXPECT_TRUE(dispatchKey(in, word, keys));
    EXPECT_EQ(sum, 6);
    ASSERT_TRUE(readWord(in, word));
    EXPECT_FALSE(dispatchKey(in, word, keys));
    EXPECT_FALSE(readWord(in, word));
    EXPECT_TRUE(word.empty());
}

} // namespace
