#include "text/line.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

// Extracts the key token as a reader would, then lets the line read the rest.
template <typename T>
Line<T> readFrom(std::istringstream& in) {
    std::string key;
    in >> key;
    Line<T> line;
    line.readLine(in, key);
    return line;
}

template <typename T>
std::string print(const Line<T>& line, int newlines = 1) {
    std::ostringstream out;
    line.printLineIfAllSet(out, newlines);
    return out.str();
}

TEST(Line, WorkedExampleKeepsColumn) {
    std::istringstream in("NrOfVolumes:     180\nNext:");
    const auto line = readFrom<int>(in);
    EXPECT_EQ(line.getName(), "NrOfVolumes");
    EXPECT_EQ(line.getWidth(), 17);
    EXPECT_EQ(line.value(), 180);
    EXPECT_TRUE(line.isSet());
    EXPECT_EQ(print(line), "NrOfVolumes:     180\n");
    // Nothing after the value is consumed.
    EXPECT_EQ(in.get(), '\n');
}

TEST(Line, NumericReadAndPrintCases) {
    struct Case {
        const char* text;
        const char* printed;
        bool failed;
    };
    const Case ints[] = {
        {"A:\t7\n", "A: 7\n", false},             // a tab counts one column, comes back a space
        {"Count:  -12 rest", "Count:  -12\n", false},
        {"A:  x\n", "A:  0\n", true},              // not a number: zero, still set
        {"A:  \n  42\n", "A:  42\n", false},       // missing value takes the next line's number
        {"A:  ", "A:  0\n", true},
    };
    for (const auto& c : ints) {
        std::istringstream in(c.text);
        const auto line = readFrom<int>(in);
        EXPECT_TRUE(line.isSet()) << c.text;
        EXPECT_EQ(in.fail(), c.failed) << c.text;
        EXPECT_EQ(print(line), c.printed) << c.text;
    }
    const Case floats[] = {
        {"TR:  3.5", "TR:  3.5\n", false},
        {"TR:  0.0001", "TR:  0.0001\n", false},
        {"TR:  1e-7", "TR:  1e-07\n", false},
    };
    for (const auto& c : floats) {
        std::istringstream in(c.text);
        EXPECT_EQ(print(readFrom<float>(in)), c.printed) << c.text;
    }
    const Case bools[] = {
        {"V:  1", "V:  1\n", false},
        {"V:  0", "V:  0\n", false},
        {"V:  YES", "V:  0\n", true},
    };
    for (const auto& c : bools) {
        std::istringstream in(c.text);
        const auto line = readFrom<bool>(in);
        EXPECT_EQ(in.fail(), c.failed) << c.text;
        EXPECT_EQ(print(line), c.printed) << c.text;
    }
}

TEST(Line, StringValues) {
    struct Case {
        const char* text;
        const char* value;
        bool quoted;
        const char* printed;
    };
    const Case cases[] = {
        {"Name:  \"a b\" \nX", "a b", true, "Name:  \"a b\"\n"},
        {"Name:  plain text\r\nX", "plain text", false, "Name:  plain text\n"},
        {"Name:\nX", "", false, "Name:\n"},
        {"Name:   \nX", "", false, "Name:   \n"},
        {"Name: x\"in\"ner\" y\n", "in\"ner", true, "Name: \"in\"ner\"\n"},
        {"Name: only \"half\n", "half", false, "Name: half\n"},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.text);
        const auto line = readFrom<std::string>(in);
        EXPECT_EQ(line.value(), c.value) << c.text;
        EXPECT_EQ(line.isQuoted(), c.quoted) << c.text;
        EXPECT_TRUE(line.isSet());
        EXPECT_EQ(print(line), c.printed) << c.text;
    }
    // The line end is consumed with the value.
    std::istringstream in("Name: v\nnext");
    readFrom<std::string>(in);
    std::string next;
    in >> next;
    EXPECT_EQ(next, "next");
}

TEST(Line, SetFlagAndPrintingRules) {
    Line<int> unset;
    EXPECT_FALSE(unset.isSet());
    EXPECT_EQ(unset.value(), 0);
    EXPECT_EQ(unset.getWidth(), 0);
    unset = 5;
    unset.updateValue(6);
    EXPECT_EQ(print(unset, 2), "");
    EXPECT_EQ(static_cast<int>(unset), 6);

    Line<int> line("NrOfVOIs", 3, 12);
    EXPECT_EQ(print(line, 0), "NrOfVOIs:   3");
    EXPECT_EQ(print(line, 2), "NrOfVOIs:   3\n\n");
    line.getWidth() = 4;  // narrower than key and colon: value right after the colon
    EXPECT_EQ(print(line), "NrOfVOIs:3\n");

    Line<std::string> text;
    text.set("ReferenceSpace", "TAL", 16);
    EXPECT_FALSE(text.isQuoted());
    EXPECT_EQ(print(text), "ReferenceSpace: TAL\n");

    std::ostringstream out;
    line.printLineIfAllSet(out, 0);
    EXPECT_TRUE(out.flags() & std::ios::left);
}

TEST(Line, YesNo) {
    const std::pair<const char*, bool> cases[] = {
        {"NO", false}, {"no", false}, {"No thanks", false}, {"YES", true},
        {"yes", true}, {"1", true},   {"0", true},          {"", true},
    };
    for (const auto& [value, expected] : cases) {
        std::istringstream in(std::string("Verified:  ") + value + "\nNext: 1");
        std::string key;
        in >> key;
        Line<bool> line;
        readYesNo(line, in, key);
        EXPECT_EQ(line.value(), expected) << value;
        EXPECT_EQ(line.getWidth(), 11);
        std::string next;
        in >> next;
        EXPECT_EQ(next, "Next:") << "rest of line consumed for " << value;
        std::ostringstream out;
        printYesNoIfAllSet(line, out, 1);
        EXPECT_EQ(out.str(), std::string("Verified:  ") + (expected ? "YES" : "NO") + "\n");
    }
}

} // namespace
