#include "host/hostoptions.h"
#include "host/outcome.h"
#include "host/transcript.h"

#include <gtest/gtest.h>

namespace {

using Command = HostOptions::Command;

TEST(HostArguments, CommandsAndOptions) {
    const struct {
        std::vector<std::string> arguments;
        Command command;
        std::string jobList, plugin, transcript;
        int version[3];
    } cases[] = {
        {{"run", "jobs.txt"}, Command::Run, "jobs.txt", "", "", {2, 8, 0}},
        {{"run"}, Command::Run, "", "", "", {2, 8, 0}},
        {{"--host-version", "2.10.0", "run", "j"}, Command::Run, "j", "", "", {2, 10, 0}},
        {{"run", "j", "--plugin", "/p.so", "--transcript", "t.jsonl"}, Command::Run, "j", "/p.so", "t.jsonl", {2, 8, 0}},
        {{"info", "--host-version", "3.0.7"}, Command::Info, "", "", "", {3, 0, 7}},
        {{"run", "--help"}, Command::Help, "", "", "", {2, 8, 0}},
    };
    for (const auto& c : cases) {
        const ParsedArguments parsed = parseHostArguments(c.arguments);
        const std::string line = c.arguments[0] + " ...";
        EXPECT_EQ(parsed.error, "") << line;
        EXPECT_EQ(parsed.options.command, c.command) << line;
        EXPECT_EQ(parsed.options.jobList, c.jobList) << line;
        EXPECT_EQ(parsed.options.pluginPath, c.plugin) << line;
        EXPECT_EQ(parsed.options.transcriptPath, c.transcript) << line;
        for (int i = 0; i < 3; ++i) EXPECT_EQ(parsed.options.version[i], c.version[i]) << line;
    }
}

TEST(HostArguments, UnusableCommandLinesAreRejected) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"convert"},
        {"run", "a", "b"},
        {"info", "x"},
        {"run", "--frobnicate"},
        {"run", "--plugin"},
        {"--host-version", "2.8", "run"},
        {"--host-version", "2.8.x", "run"},
        {"--host-version", "2..0", "run"},
        {"--host-version", "-2.8.0", "run"},
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

TEST(RunOutcome, CountsJobsFromTheLog) {
    RunOutcome outcome;
    for (const char* entry : {"\nVocelle>  Running...", "Converted /a/s1.roi",
                              "!!!! Not enough files could be loaded to convert /a/s2.roi",
                              "FMR could not be loaded: /a/s2.fmr", "!!!! Could not convert /a/s3.roi: bad",
                              "Converted /a/s4.roi", "Vocelle>  Plugin finished!\n"})
        outcome.logEntry(entry);
    EXPECT_EQ(outcome.summary(), "2 converted, 2 not converted");
    EXPECT_EQ(outcome.exitStatus(), 1);

    RunOutcome allConverted;
    allConverted.logEntry("Converted /a/s1.roi");
    EXPECT_EQ(allConverted.exitStatus(), 0);

    RunOutcome unreadable;
    unreadable.logEntry("Converted /a/s1.roi");
    unreadable.listUnreadable();
    EXPECT_EQ(unreadable.exitStatus(), 2);

    RunOutcome cutShort;
    cutShort.logEntry("!!!! Job list has a line too long to be a file name, reading stopped: /a/j.txt");
    EXPECT_EQ(cutShort.exitStatus(), 2);

    RunOutcome notStarted;
    notStarted.startFailed();
    EXPECT_EQ(notStarted.exitStatus(), 2);
}

} // namespace
