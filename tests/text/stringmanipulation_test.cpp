#include <vocelle/text/stringmanipulation.h>

#include <gtest/gtest.h>

using namespace vocelle;

namespace {

// getPath and getFileName make the slice data name of every FMR document, tested there.
TEST(StringManipulation, PathAndTextHelpers) {
    // clang-format off
    const std::pair<std::string, std::string> cases[] = { // {result, expected}
        // The extension dot is the last dot after the last folder separator.
        {removeExtension("archive.tar.gz"), "archive.tar"},
        {removeExtension("/data/set1.2/run1"), "/data/set1.2/run1"},
        {addToFileNameNewExtension("/data/s1/run1.roi", "_TAL_.voi"), "/data/s1/run1_TAL_.voi"},
        {addToFileNameNewExtension("/data/set1.2/subject1roi", "_TAL_.voi"),
         "/data/set1.2/subject1roi_TAL_.voi"},
        {addToFileName("run1.roi", "_x"), "run1_x.roi"},
        {addToFileName("/a.b/run1", "_x"), "/a.b/run1_x"},
        {replaceExtension("run1.roi", "voi"), "run1.voi"},
        {extractPartBetweenQuotes("Prefix: \"run 1\" x"), "run 1"},
        {extractPartBetweenQuotes("a\"rest of it"), "rest of it"},
        {extractPartBetweenQuotes("none"), ""},
        {getLastCharacters("s1.roi", 3), "roi"},
        {getLastCharacters("ab", 3), "ab"},
        {getLastCharacters("ab", -1), "ab"},
        {removeEnclosingWhiteSpaces("\t\v\f s1.fmr \r\n"), "s1.fmr"},
        {removeEnclosingWhiteSpaces("   "), "   "},
    };
    // clang-format on
    for (const auto& [result, expected] : cases)
        EXPECT_EQ(result, expected);
}

TEST(StringManipulation, HasExtension) {
    EXPECT_TRUE(hasExtension("run1.roi", "roi"));
    EXPECT_FALSE(hasExtension("run1.roi", "ROI") || hasExtension("run1.roi", "oi"));
    EXPECT_FALSE(hasExtension("roi", "roi"));
}

} // namespace
