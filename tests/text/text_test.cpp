// Columns and numbers come back through every document's round trip; here the quoting rules, the
// YES/NO lines and values standing on the line after their key, and the path and string helpers.
#include <vocelle/text/line.h>
#include <vocelle/text/stringmanipulation.h>

#include <gtest/gtest.h>

#include <sstream>

using namespace vocelle;

namespace {

// The line `text` starts with, read as a T and printed again.
template <typename T> std::string reprinted(const std::string& text) {
    std::istringstream in(text);
    std::string key;
    Line<T> line;
    line.readLine(in >> key, key);
    std::ostringstream out;
    line.printLineIfAllSet(out, 1);
    return out.str();
}

TEST(Line, TextBetweenTheFirstAndLastQuote) {
    const std::pair<const char*, const char*> cases[] = {
        {"N:  \"a b\" \nX", "N:  \"a b\"\n"},
        {"N:  plain text\r\nX", "N:  plain text\n"},
        {"N:\nX", "N:\n"},
        {"N: x\"in\"ner\" y\n", "N: \"in\"ner\"\n"},
        {"N: only \"half\n", "N: half\n"}};
    for (const auto& [text, printed] : cases)
        EXPECT_EQ(reprinted<std::string>(text), printed) << text;
}

TEST(Line, YesNo) {
    // A value starting with N or n is false, anything else true; the rest of the line goes too.
    const std::pair<const char*, bool> cases[] = {
        {"NO", false}, {"no", false}, {"No thanks", false}, {"YES", true}, {"0", true}, {"", true}};
    for (const auto& [value, expected] : cases) {
        std::istringstream in(std::string("Verified:  ") + value + "\nNext: 1");
        std::string key;
        Line<bool> line;
        readYesNo(line, in >> key, key);
        EXPECT_TRUE(in >> key && key == "Next:") << value;
        std::ostringstream out;
        printYesNoIfAllSet(line, out, 1);
        EXPECT_EQ(out.str(), std::string("Verified:  ") + (expected ? "YES" : "NO") + "\n");
    }
}

// A value read from the line after its key prints after a blank and reads back the same; a value
// on its key's line keeps its column.
TEST(Line, ValueAfterItsKeyReadsBackTheSame) {
    for (const std::string text : {"N:\n7\n", "N:\r\n7", "N:\t\n7", "N:  7\n"})
        EXPECT_EQ(reprinted<int>(reprinted<int>(text)), text == "N:  7\n" ? text : "N: 7\n") << text;
}

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
