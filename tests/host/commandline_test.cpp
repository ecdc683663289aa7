// The host's command line in process: what it refuses, where each option lands, and what each
// command's help says of its exit statuses.

#include <vocelle/host/command.h>
#include <vocelle/host/commandline.h>

#include "tests/text/scratchdir.h"

#include <gtest/gtest.h>

#include <iterator>
#include <regex>
#include <sstream>

using namespace vocelle;

namespace {

ParsedArguments parse(const std::string& line) {
    std::istringstream in(line);
    return parseHostArguments({std::istream_iterator<std::string>(in), {}});
}

TEST(HostArguments, UnusableCommandLinesAreRefusedInOneLine) {
    // Each line and the start of its error, which ends pointing at the help.
    const std::pair<const char*, const char*> refusals[] = {
        {"", "no command given"}, {"frobnicate", "unknown command frobnicate"}, {"-", "unknown command -"},
        {"--jobs", "unknown option --jobs"}, {"run a b", "run: unexpected argument b"},
        {"run --frobnicate", "run: unknown option --frobnicate"}, {"run j -x", "run: unknown option -x"},
        {"--host-version 2.8 run", "run: --host-version: wants X.Y.Z, got \"2.8\""},
        {"--host-version 2..0 run", "run: --host-version: wants"}, {"--host-version 99999999999.0.0 run", "run: --host"},
        {"run --plugin", "run: --plugin: 1 required PATH missing"}, {"print a.voi b.voi", "print: unexpected argument b.voi"},
        {"convert --roi r x", "convert: --fmr is required"}, {"convert --roi r --fmr f", "convert: --ia is required"},
        {"run --jobs 0 j", "run: --jobs: Value 0 not in range 1 to 256"}, {"run --jobs 2x j", "run: --jobs: Value 2x"},
        {"run -j 257 j", "run: --jobs: Value 257"}, {"--jobs 2 run j", "run: --jobs goes after the command name"},
        {"run --jobs 2 --transcript t j", "run: --transcript records one plug-in; it cannot be combined with --jobs"},
        {"split j 0", "split: N: Value 0 not in range 1 to 100000"}, {"print -o x a.voi", "print: unknown option -o"},
        {"import-nifti a.nii --space MNI", "import-nifti: --space: MNI not in {TAL,ACPC}"},
        {"stats a.voi b.voi", "stats: unexpected argument b.voi"}, {"timecourse a.roi", "timecourse: FMR is required"},
        {"glm a.roi f.fmr", "glm: glm needs REGIONS, FMR and --sdm, or --list"},
        {"glm --list j a.roi", "glm: --list takes the files from the list"}, {"glm --list j --plot p.png", "glm: --list takes"},
        {"glm a.roi f.fmr --sdm d.sdm --voi v.voi", "glm: --voi and --jobs go with --list"},
        {"glm a.roi f.fmr --sdm d.sdm --contrast c=1,x", "glm: --contrast takes NAME=w1,w2,...: c=1,x"},
        {"glm --list j --contrast =1", "glm: --contrast takes NAME=w1,w2,...: =1"}, {"glm --list j --jobs 0", "glm: --jobs"}};
    for (const auto& [line, error] : refusals) {
        const ParsedArguments parsed = parse(line);
        EXPECT_TRUE(parsed.command == nullptr && parsed.error.rfind(error, 0) == 0 &&
                    std::regex_match(parsed.error, std::regex("[^\n]* \\(see vocelle ([a-z-]+ )?--help\\)")))
            << line << ": " << parsed.error;
    }
    // An empty name is no file, not a file left out.
    for (const std::vector<std::string>& line : {std::vector<std::string>{"run", "--report", "", "j"},
                                                {"--transcript", "", "info"}})
        EXPECT_NE(parseHostArguments(line).error.find("names no file"), std::string::npos);
}

// Values in both spellings, options before and after the command: each lands where the
// command's declared files show it.
TEST(HostArguments, OptionsReachTheirFieldsInEitherSpelling) {
    const auto files = [](const std::string& line) {
        const ParsedArguments parsed = parse(line);
        EXPECT_NE(parsed.command, nullptr) << line << ": " << parsed.error;
        std::string named;
        if (parsed.parsed == nullptr) return named;
        const CommandFiles files = parsed.parsed->files();
        for (const std::string& file : files.inputs)
            named += file + "|";
        for (const Output& file : files.outputs)
            named += file.path + "|";
        return named + session.settings.pluginPath;
    };
    for (const char* line : {"--plugin p.so --transcript t run --report=r list",
                             "run --transcript=t list --plugin=p.so --report r"})
        EXPECT_EQ(files(line), "list|r|t|p.so") << line;
    EXPECT_EQ(files("convert --roi a.roi --fmr f --ia i --fa f2 --acpc c"),
              "a.roi|f||i|f2|c||a_ACPC_.voi|");
    EXPECT_EQ(files("export-nifti v.voi -o out.nii"), "v.voi|out.nii|out.tsv|");
    EXPECT_EQ(files("import-nifti atlas.nii.gz"), "atlas.nii.gz|atlas.tsv|atlas.lut|atlas.voi|");
    EXPECT_EQ(files("split j.txt 2 -o p --sbatch"), "j.txt|p/j.1.txt|p/j.2.txt|p/split.manifest|p/j.sbatch|");
    EXPECT_EQ(files("timecourse a.voi f.fmr --ia i --fa f2 --acpc c --tal t -o o.tsv"),
              "a.voi|f.fmr||i|f2|c|t|o.tsv|");
    EXPECT_EQ(files("glm --list j --voi v.voi --contrast c=1,-1 -o s.tsv"), "||||||||j|v.voi|s.tsv||");
    parse("info --host-version 2.10.7");
    EXPECT_EQ(std::vector<int>(session.settings.version, session.settings.version + 3),
              (std::vector<int>{2, 10, 7}));
    EXPECT_EQ(parse("--version").text.rfind("vocelle ", 0), 0u);
}

// Each command's help ends with its own exit statuses, and the program's help lists them all
// (compared with the help's line breaks folded).
TEST(HostArguments, HelpGivesEachCommandsOwnExitStatuses) {
    const auto folded = [](const std::string& text) {
        return std::regex_replace(text, std::regex("\\s+"), " ");
    };
    const std::string program = folded(parse("--help").text);
    for (const Command* command : commandTable()) {
        std::string statuses;
        for (const ExitStatus& status : *command->exitStatuses)
            statuses += std::to_string(status.code) + " " + status.meaning + " ";
        const std::string help = folded(parse(std::string(command->name) + " --help").text);
        EXPECT_EQ(help.substr(help.find("Exit status: ") + 13), statuses) << command->name;
        EXPECT_NE(program.find(statuses), std::string::npos) << command->name;
    }
    EXPECT_NE(program.find("Options of run and info, before or after the command name: --plugin PATH"),
              std::string::npos);
}

// The help as the manual page shows it, each command's after the program's.
TEST(HostArguments, HelpIsAsRecorded) {
    std::string help = parse("--help").text;
    for (const Command* command : commandTable()) help += parse(std::string(command->name) + " --help").text;
    EXPECT_EQ(help, readAll(std::string(VOCELLE_TEST_DATA) + "/help.txt"));
}

} // namespace
