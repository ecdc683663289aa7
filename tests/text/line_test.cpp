// Columns and numbers come back through every document's round trip; here the quoting rules, the
// YES/NO lines and values standing on the line after their key.
#include <vocelle/text/line.h>

#include <gtest/gtest.h>

#include <sstream>

using namespace vocelle;

namespace {

TEST(Line, TextBetweenTheFirstAndLastQuote) {
    const std::pair<const char*, const char*> cases[] = {
        {"N:  \"a b\" \nX", "N:  \"a b\"\n"},
        {"N:  plain text\r\nX", "N:  plain text\n"},
        {"N:\nX", "N:\n"},
        {"N: x\"in\"ner\" y\n", "N: \"in\"ner\"\n"},
        {"N: only \"half\n", "N: half\n"}};
    for (const auto& [text, printed] : cases) {
        std::istringstream in(text);
        std::string key;
        Line<std::string> line;
        line.readLine(in >> key, key);
        std::ostringstream out;
        line.printLineIfAllSet(out, 1);
        EXPECT_EQ(out.str(), printed) << text;
    }
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
    for (const std::string text : {"N:\n7\n", "N:\r\n7", "N:\t\n7", "N:  7\n"}) {
        std::string reprinted = text;
        for (int pass = 0; pass < 2; ++pass) {
            std::istringstream in(reprinted);
            std::string key;
            Line<int> line;
            line.readLine(in >> key, key);
            std::ostringstream out;
            line.printLineIfAllSet(out, 1);
            reprinted = out.str();
        }
        EXPECT_EQ(reprinted, text == "N:  7\n" ? text : "N: 7\n") << text;
    }
}

} // namespace
