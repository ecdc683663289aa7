#include "text/stringmanipulation.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>

namespace {

struct PathCase {
    const char* what;
    std::function<std::string()> call;
    std::string expected;
};

TEST(StringManipulation, PathAndTextHelpers) {
    const PathCase cases[] = {
        {"getPath unix", [] { return getPath("/data/s1/run1.roi"); }, "/data/s1/"},
        {"getPath none", [] { return getPath("run1.roi"); }, ""},
        {"getPath backslash", [] { return getPath("D:\\data\\run1.roi"); }, "D:\\data\\"},
        {"getFileName folder", [] { return getFileName("/data/s1/"); }, ""},
        {"getFileName plain", [] { return getFileName("run1.roi"); }, "run1.roi"},
        {"getFileName mixed", [] { return getFileName("a\\b/c.txt"); }, "c.txt"},
        {"removeExtension double", [] { return removeExtension("archive.tar.gz"); }, "archive.tar"},
        {"removeExtension dotted folder",
         [] { return removeExtension("/data/set1.2/run1"); }, "/data/set1.2/run1"},
        {"removeExtension dotted folder backslash",
         [] { return removeExtension("C:\\set1.2\\run1"); }, "C:\\set1.2\\run1"},
        {"addToFileNameNewExtension",
         [] { return addToFileNameNewExtension("/data/s1/run1.roi", "_TAL_.voi"); },
         "/data/s1/run1_TAL_.voi"},
        {"addToFileNameNewExtension no dot",
         [] { return addToFileNameNewExtension("run1", "_ACPC_.voi"); }, "run1_ACPC_.voi"},
        {"addToFileNameNewExtension dotted folder",
         [] { return addToFileNameNewExtension("/data/set1.2/subject1roi", "_TAL_.voi"); },
         "/data/set1.2/subject1roi_TAL_.voi"},
        {"addToFileName", [] { return addToFileName("run1.roi", "_x"); }, "run1_x.roi"},
        {"addToFileName no dot", [] { return addToFileName("run1", "_x"); }, "run1_x"},
        {"addToFileName dotted folder", [] { return addToFileName("/a.b/run1", "_x"); },
         "/a.b/run1_x"},
        {"replaceExtension", [] { return replaceExtension("run1.roi", "voi"); }, "run1.voi"},
        {"replaceExtension no dot", [] { return replaceExtension("run1", "voi"); }, "run1.voi"},
        {"replaceExtension dotted folder", [] { return replaceExtension("/a.b/run1", "stc"); },
         "/a.b/run1.stc"},
        {"replacePath", [] { return replacePath("/a/b/run1.roi", "/x/"); }, "/x/run1.roi"},
        {"replacePath no separator", [] { return replacePath("/a/b/run1.roi", "/x"); },
         "/xrun1.roi"},
        {"quotes pair", [] { return extractPartBetweenQuotes("Prefix: \"run 1\" x"); }, "run 1"},
        {"quotes single", [] { return extractPartBetweenQuotes("a\"rest of it"); }, "rest of it"},
        {"quotes empty", [] { return extractPartBetweenQuotes("\"\""); }, ""},
        {"quotes none", [] { return extractPartBetweenQuotes("none"); }, ""},
        {"last longer", [] { return getLastCharacters("ab", 3); }, "ab"},
        {"last zero", [] { return getLastCharacters("ab", 0); }, ""},
        {"last negative", [] { return getLastCharacters("ab", -1); }, "ab"},
        {"last two", [] { return getLastCharacters("s1.roi", 3); }, "roi"},
        {"trim cr", [] { return removeEnclosingWhiteSpaces("  s1.fmr\r"); }, "s1.fmr"},
        {"trim blanks only", [] { return removeEnclosingWhiteSpaces("   "); }, "   "},
        {"trim inner", [] { return removeEnclosingWhiteSpaces("a  b"); }, "a  b"},
        {"trim all kinds", [] { return removeEnclosingWhiteSpaces("\t\v\f x \n"); }, "x"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.call(), c.expected) << c.what;
}

TEST(StringManipulation, HasExtensionIsExactAndCaseSensitive) {
    EXPECT_TRUE(hasExtension("run1.roi", "roi"));
    EXPECT_FALSE(hasExtension("run1.roi", "ROI"));
    EXPECT_FALSE(hasExtension("run1.roi", "oi"));
    EXPECT_FALSE(hasExtension("roi", "roi"));
}

TEST(StringManipulation, FileExistsOpensWithoutReading) {
    EXPECT_FALSE(fileExists(""));
    const std::string path = testing::TempDir() + "vocelle_exists.txt";
    std::remove(path.c_str());
    EXPECT_FALSE(fileExists(path));
    std::ofstream(path) << "x";
    EXPECT_TRUE(fileExists(path));
    std::remove(path.c_str());
}

} // namespace
