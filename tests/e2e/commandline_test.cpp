// The host's command line in process: what it refuses and where each option lands.

#include <vocelle/host/commandline.h>

#include <gtest/gtest.h>

#include <iterator>
#include <sstream>

using namespace vocelle;

namespace {

ParsedArguments parse(const std::string& line) {
    std::istringstream in(line);
    return parseHostArguments({std::istream_iterator<std::string>(in), {}});
}

TEST(HostArguments, UnusableCommandLinesAreRefusedInOneLine) {
    for (const char* line :
         {"", "frobnicate", "run a b", "run --frobnicate", "--host-version 2.8 run",
          "--host-version 99999999999.0.0 run", "run --plugin", "print a.voi b.voi",
          "convert --roi r x", "run --jobs 0 j", "run --jobs 2x j", "run -j 257 j",
          "--jobs 2 run j", "run --jobs 2 --transcript t j", "split j 0", "print -o x a.voi",
          "import-nifti a.nii --space MNI", "stats a.voi b.voi", "print --4d a.voi"}) {
        const ParsedArguments parsed = parse(line);
        EXPECT_EQ(parsed.command, nullptr) << line;
        EXPECT_NE(parsed.error, "") << line;
        EXPECT_EQ(parsed.error.find('\n'), std::string::npos) << parsed.error;
    }
}

// Values in both spellings, options before and after the command (each option's field is shown
// end to end).
TEST(HostArguments, OptionsReachTheirFieldsInEitherSpelling) {
    for (const char* line : {"--plugin p.so --transcript t run list",
                             "run --transcript=t list --plugin=p.so"}) {
        const ParsedArguments parsed = parse(line);
        ASSERT_NE(parsed.command, nullptr) << parsed.error;
        EXPECT_EQ(parsed.options.pluginPath + parsed.options.transcriptPath + parsed.options.jobList,
                  "p.sotlist");
    }
    for (const char* line : {"run -j3 list", "run --jobs=3 list", "run list --jobs 3"})
        EXPECT_EQ(parse(line).options.jobs, 3) << line;
    const HostOptions version = parse("info --host-version 2.10.7").options;
    EXPECT_EQ(std::vector<int>(version.version, version.version + 3), (std::vector<int>{2, 10, 7}));
    EXPECT_EQ(parse("--version").text.rfind("vocelle ", 0), 0u);
}

} // namespace
