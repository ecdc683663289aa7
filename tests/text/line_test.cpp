#include "text/line.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

// Each text is read as a reader does (the key token, then the line) and printed back; the flag
// says whether the stream failed. Every line read is set, whatever its value.
template <typename T>
void check(const std::vector<std::tuple<std::string, std::string, bool>>& cases) {
    for (const auto& [text, printed, failed] : cases) {
        std::istringstream in(text);
        std::string key;
        in >> key;
        Line<T> line;
        line.readLine(in, key);
        EXPECT_EQ(in.fail(), failed) << text;
        EXPECT_TRUE(line.isSet()) << text;
        std::ostringstream out;
        line.printLineIfAllSet(out, 1);
        EXPECT_EQ(out.str(), printed) << text;
    }
}

TEST(Line, ReadAndPrintKeepTheColumn) {
    check<int>({{"NrOfVolumes:     180\n", "NrOfVolumes:     180\n", false},
                {"A:\t7\n", "A: 7\n", false}, // a tab is one column and comes back a space
                {"A:  x\n", "A:  0\n", true}, // not a number: zero and failed
                {"A:  \n  42\n", "A:  42\n", false}});
    check<float>({{"TR:  3.5", "TR:  3.5\n", false}, {"TR:  1e-7", "TR:  1e-07\n", false}});
    check<bool>({{"V:  1", "V:  1\n", false}, {"V:  YES", "V:  0\n", true}});
    check<std::string>({{"N:  \"a b\" \nX", "N:  \"a b\"\n", false},
                        {"N:  plain text\r\nX", "N:  plain text\n", false},
                        {"N:\nX", "N:\n", false},
                        {"N: x\"in\"ner\" y\n", "N: \"in\"ner\"\n", false},
                        {"N: only \"half\n", "N: half\n", false}});
}

TEST(Line, YesNo) {
    for (const auto& [value, expected] :
         std::vector<std::pair<std::string, bool>>{{"NO", false},
                                                   {"no", false},
                                                   {"No thanks", false},
                                                   {"YES", true},
                                                   {"0", true},
                                                   {"", true}}) {
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
