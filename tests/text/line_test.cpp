#include "text/line.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

// Extracts the key token as a reader does, lets the line read the rest, and prints it back.
template <typename T>
std::string readAndPrint(const std::string& text, Line<T>& line, bool& failed) {
    std::istringstream in(text);
    std::string key;
    in >> key;
    line.readLine(in, key);
    failed = in.fail();
    std::ostringstream out;
    line.printLineIfAllSet(out, 1);
    return out.str();
}

template <typename T>
void check(const std::vector<std::tuple<std::string, std::string, bool>>& cases) {
    for (const auto& [text, printed, failed] : cases) {
        Line<T> line;
        bool streamFailed = false;
        EXPECT_EQ(readAndPrint(text, line, streamFailed), printed) << text;
        EXPECT_EQ(streamFailed, failed) << text;
        EXPECT_TRUE(line.isSet()) << text;
    }
}

TEST(Line, ReadAndPrintKeepTheColumn) {
    Line<int> volumes;
    bool failed = false;
    EXPECT_EQ(readAndPrint("NrOfVolumes:     180\n", volumes, failed), "NrOfVolumes:     180\n");
    EXPECT_EQ(volumes.getName(), "NrOfVolumes");
    EXPECT_EQ(volumes.getWidth(), 17);

    check<int>({{"A:\t7\n", "A: 7\n", false},     // a tab is one column and comes back a space
                {"A:  x\n", "A:  0\n", true},     // not a number: zero, failed, still set
                {"A:  \n  42\n", "A:  42\n", false}});
    check<float>({{"TR:  3.5", "TR:  3.5\n", false}, {"TR:  1e-7", "TR:  1e-07\n", false}});
    check<bool>({{"V:  1", "V:  1\n", false}, {"V:  YES", "V:  0\n", true}});
    check<std::string>({{"N:  \"a b\" \nX", "N:  \"a b\"\n", false},
                        {"N:  plain text\r\nX", "N:  plain text\n", false},
                        {"N:\nX", "N:\n", false},
                        {"N: x\"in\"ner\" y\n", "N: \"in\"ner\"\n", false},
                        {"N: only \"half\n", "N: half\n", false}});
}

TEST(Line, SetFlagAndPrintingRules) {
    Line<int> unset;
    EXPECT_EQ(unset.value(), 0);
    unset = 5;  // a value alone does not make a line printable
    std::ostringstream nothing;
    unset.printLineIfAllSet(nothing, 2);
    EXPECT_EQ(nothing.str(), "");

    Line<int> line("NrOfVOIs", 3, 12);
    for (const auto& [newlines, width, expected] :
         std::vector<std::tuple<int, int, std::string>>{{0, 12, "NrOfVOIs:   3"}, {2, 12, "NrOfVOIs:   3\n\n"},
                                                         {1, 4, "NrOfVOIs:3\n"}}) {
        line.getWidth() = width;
        std::ostringstream out;
        line.printLineIfAllSet(out, newlines);
        EXPECT_EQ(out.str(), expected);
        EXPECT_TRUE(out.flags() & std::ios::left);
    }
}

TEST(Line, YesNo) {
    for (const auto& [value, expected] : std::vector<std::pair<std::string, bool>>{
             {"NO", false}, {"no", false}, {"No thanks", false}, {"YES", true}, {"0", true}, {"", true}}) {
        std::istringstream in("Verified:  " + value + "\nNext: 1");
        std::string key;
        in >> key;
        Line<bool> line;
        readYesNo(line, in, key);
        EXPECT_EQ(line.value(), expected) << value;
        in >> key;
        EXPECT_EQ(key, "Next:") << "rest of the line consumed after " << value;
        std::ostringstream out;
        printYesNoIfAllSet(line, out, 1);
        EXPECT_EQ(out.str(), std::string("Verified:  ") + (expected ? "YES" : "NO") + "\n");
    }
}

} // namespace
