// The host's command line in process: what it refuses, what it sets, and that --help tells every
// command's usage.

#include <vocelle/host/commandline.h>

#include <gtest/gtest.h>

#include <sstream>

using namespace vocelle;

namespace {

std::vector<std::string> wordsOf(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

// The words of a text joined by single blanks, so wrapped and unwrapped text compare alike.
std::string squeezed(const std::string& text) {
    std::string joined;
    for (const auto& word : wordsOf(text))
        joined += word + " ";
    return joined;
}

TEST(HostArguments, UnusableCommandLinesAreRefusedInOneLine) {
    const char* const refused[] = {"",
                                   "frobnicate",
                                   "convert",
                                   "run a b",
                                   "run --frobnicate",
                                   "run j print x",
                                   "--host-version 2.8 run",
                                   "--host-version 2.8.x run",
                                   "--host-version 2.8.0.1 run",
                                   "--host-version 99999999999.0.0 run",
                                   "run --plugin",
                                   "print",
                                   "print a.voi b.voi",
                                   "preview a.voi --no-voxels",
                                   "convert --roi r --fmr f --ia i --fa a",
                                   "convert --roi r x",
                                   "run --jobs 0 j",
                                   "run --jobs 2x j",
                                   "run -j 257 j",
                                   "--jobs 2 run j",
                                   "run --jobs 2 --transcript t j",
                                   "--transcript t run -j2 j",
                                   "split j",
                                   "split j 0",
                                   "split j -3",
                                   "print -o x a.voi",
                                   "info --tal t",
                                   "print --plugin p a.voi",
                                   "split j 2 --host-version 2.8.0"};
    for (const char* line : refused) {
        const ParsedArguments parsed = parseHostArguments(wordsOf(line));
        EXPECT_EQ(parsed.command, nullptr) << line;
        EXPECT_NE(parsed.error, "") << line;
        EXPECT_EQ(parsed.error.find('\n'), std::string::npos) << parsed.error;
    }
}

TEST(HostArguments, OptionsReachTheirFieldsInEitherSpelling) {
    const auto parsed = [](const std::string& line) {
        const ParsedArguments result = parseHostArguments(wordsOf(line));
        EXPECT_EQ(result.error, "") << line;
        EXPECT_NE(result.command, nullptr) << line;
        return result.options;
    };
    for (const char* line :
         {"--plugin p.so --transcript t run list", "run list --plugin p.so --transcript t",
          "run --transcript=t list --plugin=p.so"}) {
        const HostOptions options = parsed(line);
        EXPECT_EQ(options.pluginPath, "p.so") << line;
        EXPECT_EQ(options.transcriptPath, "t") << line;
        EXPECT_EQ(options.jobList, "list") << line;
    }
    for (const char* line :
         {"run -j 3 list", "run -j3 list", "run --jobs=3 list", "run list --jobs 3"})
        EXPECT_EQ(parsed(line).jobs, 3) << line;

    const HostOptions version = parsed("info --host-version 2.10.7");
    EXPECT_EQ(std::vector<int>(version.version, version.version + 3), (std::vector<int>{2, 10, 7}));
    EXPECT_FALSE(parsed("print --no-voxels a.roi").withVoxels);
    EXPECT_TRUE(parsed("print a.roi").withVoxels);

    const HostOptions convert =
        parsed("convert --roi r --fmr f --ia i --fa a --acpc c --tal t --output o");
    EXPECT_EQ(convert.roi + convert.fmr + convert.ia + convert.fa + convert.acpc + convert.tal +
                  convert.output,
              "rfiacto");
    const HostOptions split = parsed("split list 4 -o parts");
    EXPECT_EQ(split.jobList + " " + std::to_string(split.parts) + " " + split.output,
              "list 4 parts");

    HostOptions defaults;
    defaults.pluginPath = "beside.so";
    EXPECT_EQ(parseHostArguments({"info"}, defaults).options.pluginPath, "beside.so");
}

TEST(HostArguments, HelpShowsEveryCommandsUsage) {
    const ParsedArguments program = parseHostArguments({"--help"});
    ASSERT_EQ(program.error, "");
    EXPECT_EQ(program.command, nullptr);
    EXPECT_NE(program.text.find("Exit status:"), std::string::npos);
    const std::string all = squeezed(program.text);
    for (const char* name :
         {"run", "info", "convert", "print", "preview", "export-nifti", "split"}) {
        const ParsedArguments command = parseHostArguments({name, "--help"});
        ASSERT_EQ(command.error, "") << name;
        // The usage runs to the first empty line.
        const std::string usage = squeezed(command.text.substr(0, command.text.find("\n\n")));
        ASSERT_EQ(usage.rfind("Usage: vocelle ", 0), 0u) << usage;
        EXPECT_NE(all.find(usage.substr(7)), std::string::npos) << usage;
    }
    EXPECT_NE(program.text.find("--jobs N"), std::string::npos);
    EXPECT_EQ(program.text.find("--worker"), std::string::npos);
    EXPECT_EQ(parseHostArguments({"--version"}).text.rfind("vocelle ", 0), 0u);
}

} // namespace
