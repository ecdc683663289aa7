#include "host/hostoptions.h"
#include "host/transcript.h"

#include <gtest/gtest.h>

namespace {

TEST(HostArguments, UnusableCommandLinesAreRejected) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"convert"},
        {"run", "a", "b"},
        {"run", "--frobnicate"},
        {"--host-version", "2.8", "run"},
        {"--host-version", "2.8.x", "run"},
        {"--host-version", "2.8.0.1", "run"},
        {"--host-version", "99999999999.0.0", "run"},
    };
    for (const auto& arguments : cases) {
        std::string line;
        for (const auto& a : arguments) line += a + " ";
        EXPECT_NE(parseHostArguments(arguments).error, "") << line;
    }
}

TEST(Transcript, JsonStringsKeepEveryByte) {
    const struct {
        std::string bytes;
        std::string json;
    } cases[] = {
        {"", R"("")"},
        {"\nVocelle>  Running...", R"("\nVocelle>  Running...")"},
        {"a\"b\\c\r\t", R"("a\"b\\c\r\t")"},
        {std::string("\x01\x1f\x7f", 3), R"("\u0001\u001f\u007f")"},
        {"caf\xc3\xa9 \xe2\x82\xac", "\"caf\xc3\xa9 \xe2\x82\xac\""},
        {"latin1 \xe9 cut \xc3", R"("latin1 \u00e9 cut \u00c3")"},
        {"overlong \xc0\xaf", R"("overlong \u00c0\u00af")"},
    };
    for (const auto& c : cases) EXPECT_EQ(jsonString(c.bytes), c.json);

    EXPECT_EQ(JsonLine().add("call", "hxGetVersionOfCorvane").add("major", 2).add("ok", true).add("t", (const char*)nullptr).str(),
              R"({"call":"hxGetVersionOfCorvane","major":2,"ok":true,"t":null})");
}

} // namespace
