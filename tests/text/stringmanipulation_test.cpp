#include "tests/text/scratchdir.h"
#include "text/stringmanipulation.h"

#include <gtest/gtest.h>

namespace {

TEST(StringManipulation, PathAndTextHelpers) {
    // clang-format off
    const std::pair<std::string, std::string> cases[] = { // {result, expected}
        {getPath("/data/s1/run1.roi"), "/data/s1/"},
        {getPath("D:\\data\\run1.roi"), "D:\\data\\"},
        {getPath("run1.roi"), ""},
        {getFileName("a\\b/c.txt"), "c.txt"},
        {getFileName("/data/s1/"), ""},
        // The extension dot is the last dot after the last folder separator.
        {removeExtension("archive.tar.gz"), "archive.tar"},
        {removeExtension("/data/set1.2/run1"), "/data/set1.2/run1"},
        {removeExtension("C:\\set1.2\\run1"), "C:\\set1.2\\run1"},
        {addToFileNameNewExtension("/data/s1/run1.roi", "_TAL_.voi"), "/data/s1/run1_TAL_.voi"},
        {addToFileNameNewExtension("/data/set1.2/subject1roi", "_TAL_.voi"),
         "/data/set1.2/subject1roi_TAL_.voi"},
        {addToFileName("run1.roi", "_x"), "run1_x.roi"},
        {addToFileName("/a.b/run1", "_x"), "/a.b/run1_x"},
        {replaceExtension("run1.roi", "voi"), "run1.voi"},
        {replaceExtension("/a.b/run1", "stc"), "/a.b/run1.stc"},
        {replacePath("/a/b/run1.roi", "/x/"), "/x/run1.roi"},
        {replacePath("/a/b/run1.roi", "/x"), "/xrun1.roi"},
        {extractPartBetweenQuotes("Prefix: \"run 1\" x"), "run 1"},
        {extractPartBetweenQuotes("a\"rest of it"), "rest of it"},
        {extractPartBetweenQuotes("none"), ""},
        {getLastCharacters("s1.roi", 3), "roi"},
        {getLastCharacters("ab", 3), "ab"},
        {getLastCharacters("ab", 0), ""},
        {getLastCharacters("ab", -1), "ab"},
        {removeEnclosingWhiteSpaces("\t\v\f s1.fmr \r\n"), "s1.fmr"},
        {removeEnclosingWhiteSpaces("   "), "   "},
        {removeEnclosingWhiteSpaces("a  b"), "a  b"},
    };
    // clang-format on
    for (const auto& [result, expected] : cases)
        EXPECT_EQ(result, expected);
}

TEST(StringManipulation, HasExtensionAndFileExists) {
    EXPECT_TRUE(hasExtension("run1.roi", "roi"));
    for (const char* other : {"ROI", "oi"})
        EXPECT_FALSE(hasExtension("run1.roi", other));
    EXPECT_FALSE(hasExtension("roi", "roi"));
    const ScratchDir dir;
    EXPECT_FALSE(fileExists(""));
    EXPECT_FALSE(fileExists(dir.file("x")));
    writeAll(dir.file("x"), "x");
    EXPECT_TRUE(fileExists(dir.file("x")));
}

} // namespace
