// The real vocelle host and plug-in: what reaches the host, byte for byte, and the small tools.

#include "formats/myFMR.h"
#include "formats/myROI.h"
#include "formats/mySDM.h"
#include "formats/myTAL.h"
#include "formats/myTRF.h"
#include "formats/myVOI.h"
#include "tests/e2e/hostrun.h"
#include "tests/formats/conversionfiles.h"

#include <gtest/gtest.h>

#include <pty.h>

#include <algorithm>
#include <set>

namespace {

namespace fs = std::filesystem;
namespace cf = conversionfiles;
using Lines = std::vector<std::string>;

Lines concat(std::initializer_list<Lines> parts) {
    Lines all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

const std::string description =
    "Creates VOIs from a ROIs using a textfile with the names of all the necessary files";
const Lines infoCalls = {
    R"({"plugin":"getPluginName","result":"Vocelle"})",
    R"({"plugin":"getPluginDescription","result":")" + description + "\"}",
    R"({"plugin":"getAuthor","result":"<i>Tovel</i>"})",
    R"({"plugin":"getHelpFile","result":"HelpFolder/index.html"})",
    R"({"plugin":"getPluginVersion","result":"1.4"})",
    R"({"plugin":"getGUIScript","result":""})",
};
const std::string finished = "Vocelle>  Plugin finished!\n\n\nDestructor of TarnLog never called\n";
const std::string executed = R"({"plugin":"execute","result":true})";

// The calls of a run: information, create, the version asked for, then `calls`, then the end.
Lines runCalls(const std::string& version, const Lines& calls) {
    const Lines closing = {R"({"plugin":"destroy"})",
                           R"({"call":"hxLogText","text":"Vocelle>  Plugin finished!\n"})",
                           R"({"plugin":"unload"})", R"({"call":"hxLogText","text":""})",
                           R"({"call":"hxLogText","text":"Destructor of TarnLog never called"})"};
    return concat({infoCalls,
                   {R"({"plugin":"createPlugin","result":true})",
                    R"({"call":"hxGetVersionOfCorvane",)" + version + "}"},
                   calls,
                   closing});
}

// The calls from a successful initPlugin to execute's result.
Lines executeCalls(const Lines& calls) {
    return concat(
        {{R"({"call":"hxShowLogTab"})", R"({"call":"hxLogText","text":"\nVocelle>  Running..."})",
          R"({"plugin":"initPlugin","result":true})"},
         calls,
         {executed}});
}

std::string chooser(const std::string& answer) {
    return R"j({"call":"hxGetOpenFileName","title":"Choose a TXT file to read","second":"","filter":"Text file (*.txt)","answer":")j" +
           answer + "\"}";
}

std::string box(const std::string& text) {
    return R"({"call":"hxMessageBox","text":")" + text + "\"}";
}

class Host : public ::testing::Test {
  protected:
    // Runs the host with a transcript and checks its calls (without the first line, which holds
    // the plug-in's path), standard error and exit status.
    ProgramRun expectRun(const Lines& arguments, const Lines& calls, const std::string& err,
                         int status) {
        const ProgramRun result = runHost(
            concat({{"--transcript", dir.file("transcript.jsonl")}, arguments}), dir.path());
        Lines transcript = linesOf(readAll(dir.file("transcript.jsonl")));
        if (!transcript.empty()) transcript.erase(transcript.begin());
        EXPECT_EQ(transcript, calls) << arguments.front();
        EXPECT_EQ(result.err, err) << arguments.front();
        EXPECT_EQ(result.status, status) << arguments.front();
        return result;
    }
    ScratchDir dir;
};

TEST_F(Host, RunsAreTranscribedCallByCall) {
    const std::string base = dir.path().string() + "/study/", jobs = dir.file("jobs.txt");
    writeAll(jobs, base + "\nsubject one\ns1/run1.roi\ns1/run1.fmr\ns1/run1_IA.trf\n"
                          "s1/run1_FA.trf\ns1/anat_ACPC.trf\ns1/anat.tal\n"
                          "s2/run1.roi\ns2/run1.fmr\ns2/run1_IA.trf\n");
    // Job 2 has its ROI, FMR and IA files; only its three unnamed files are reported.
    for (const char* name : {"s2/run1.roi", "s2/run1.fmr", "s2/run1_IA.trf"})
        writeBelow(base, name, "x");
    const Lines report = {
        "!!!! Not enough files could be loaded to convert " + base + "s1/run1.roi",
        "ROI could not be loaded: " + base + "s1/run1.roi",
        "FMR could not be loaded: " + base + "s1/run1.fmr",
        "IA.trf could not be loaded: " + base + "s1/run1_IA.trf",
        "FA.trf could not be loaded: " + base + "s1/run1_FA.trf",
        "ACPC.trf could not be loaded: " + base + "s1/anat_ACPC.trf",
        "TAL could not be loaded: " + base + "s1/anat.tal",
        "!!!! Not enough files could be loaded to convert " + base + "s2/run1.roi",
        "FA.trf could not be loaded: ",
        "ACPC.trf could not be loaded: "};
    Lines reportCalls = {chooser(jobs)};
    std::string reportOut;
    for (const auto& line : report) {
        reportCalls.push_back(R"({"call":"hxLogText","text":")" + line + "\"}");
        reportOut += line + "\n";
    }
    const std::string v280 = R"("major":2,"minor":8,"sub":0)",
                      none = "0 converted, 0 not converted\n";
    const ProgramRun reported = expectRun({"run", jobs}, runCalls(v280, executeCalls(reportCalls)),
                                          "0 converted, 2 not converted\n", 1);
    EXPECT_EQ(reported.out, "\nVocelle>  Running...\n" + reportOut + finished);

    // The version is compared part by part, as numbers.
    writeAll(dir.file("empty.txt"), "/nowhere/\n");
    expectRun(
        {"--host-version", "2.10.0", "run", dir.file("empty.txt")},
        runCalls(R"("major":2,"minor":10,"sub":0)", executeCalls({chooser(dir.file("empty.txt"))})),
        none, 0);
    const std::string old = "Can not execute this plugin - Corvane version 2.8 or higher required.";
    expectRun({"--host-version", "2.7.99", "run", dir.file("empty.txt")},
              runCalls(R"("major":2,"minor":7,"sub":99)",
                       {box(old), R"({"plugin":"initPlugin","result":false})"}),
              old + "\nvocelle: the plug-in did not start\n" + none, 2);

    // A list that cannot be read, and a cancelled choice (no list given).
    const std::string unreadable = " Error: Can not read this text file!";
    for (const std::string& list : {dir.file("no list.txt"), std::string()})
        expectRun(list.empty() ? Lines{"run"} : Lines{"run", list},
                  runCalls(v280, executeCalls({chooser(list), box(unreadable)})),
                  unreadable + "\n" + none, 2);

    // Nothing is created or bound by info, so unloading must not call into the host.
    const ProgramRun info =
        expectRun({"info"}, concat({infoCalls, {R"({"plugin":"unload"})"}}), "", 0);
    EXPECT_EQ(info.out, "name: Vocelle\ndescription: " + description +
                            "\nauthor: <i>Tovel</i>\nhelp file: HelpFolder/index.html\n"
                            "version: 1.4\nGUI script: \n");

    const ProgramRun noPlugin = runHost({"--plugin", dir.file("libMissing.so"), "run"}, dir.path());
    EXPECT_EQ(noPlugin.status, 2);
    EXPECT_EQ(linesOf(noPlugin.err).back(), "0 converted, 0 not converted");
    EXPECT_EQ(noPlugin.out, "");
}

// Carriage-return line ends, a dotted folder, a job that throws and a last ROI line without a
// line feed: the run converts, reports and goes on, and writes beside the ROI.
TEST_F(Host, HardJobListsStillRunEveryJob) {
    const fs::path folder = dir.path() / "set1.2";
    const std::string base = folder.string() + "/";
    cf::Grid grid;
    grid.nx = grid.ny = grid.nz = 8;
    writeBelow(folder, "subject1roi", cf::roi({{{3, 3, 3}}}));
    writeBelow(folder, "run.fmr", cf::fmr("run", grid));
    writeBelow(folder, "run.stc", "");
    writeBelow(folder, "run_IA.trf", cf::trf(true));
    writeBelow(folder, "run_FA.trf", cf::trf(false));
    writeBelow(folder, "anat_ACPC.trf", cf::trf(true));
    writeBelow(folder, "anat.tal", cf::tal(1));
    for (const char* name : {"bad.roi", "bad.fmr", "bad_IA.trf", "bad_FA.trf", "bad_ACPC.trf"})
        writeBelow(folder, name, "");
    writeAll(dir.file("jobs.txt"),
             base + "\r\nsubject1roi\r\nrun.fmr\r\nrun_IA.trf\r\nrun_FA.trf\r\nanat_ACPC.trf\r\n"
                    "anat.tal\r\nbad.roi\r\nbad.fmr\r\nbad_IA.trf\r\nbad_FA.trf\r\n"
                    "bad_ACPC.trf\r\nlast.roi");

    const ProgramRun result = runHost({"run", "jobs.txt"}, dir.path());
    const Lines out = linesOf(result.out);
    ASSERT_GE(out.size(), 6u) << result.out;
    EXPECT_EQ(out[2], "Converted " + base + "subject1roi");
    const std::string failed = "!!!! Could not convert " + base + "bad.roi: ";
    EXPECT_EQ(out[3].rfind(failed, 0), 0u) << out[3];
    EXPECT_GT(out[3].size(), failed.size()) << "the reason is missing";
    EXPECT_EQ(out[4], "!!!! Not enough files could be loaded to convert " + base + "last.roi");
    EXPECT_EQ(out[5], "ROI could not be loaded: " + base + "last.roi");
    EXPECT_EQ(result.err, "1 converted, 2 not converted\n");
    EXPECT_EQ(result.status, 1);
    // Functional voxel 3 of an 8-voxel grid is cube voxel 127: Talairach (1, 1, 1).
    EXPECT_FALSE(fs::exists(dir.path() / "set1_TAL_.voi"));
    ASSERT_TRUE(fs::exists(folder / "subject1roi_TAL_.voi"));
    const VOI voi((folder / "subject1roi_TAL_.voi").string());
    ASSERT_EQ(voi.vois.size(), 1u);
    EXPECT_EQ(voi.vois[0].voxels, (cf::Voxels{{1, 1, 1}}));
}

TEST(PluginLibrary, ExportsExactlyTheSevenEntryPoints) {
    const ProgramRun nm = runProgram(
        "nm", {"-D", "--defined-only", std::string(VOCELLE_BIN_DIR) + "/libVocelle.so"}, ".");
    ASSERT_EQ(nm.status, 0) << nm.err;
    std::set<std::string> names;
    for (const auto& line : linesOf(nm.out))
        names.insert(line.substr(line.find_last_of(' ') + 1));
    EXPECT_EQ(names, (std::set<std::string>{"createPlugin", "getPluginName", "getPluginDescription",
                                            "getAuthor", "getHelpFile", "getPluginVersion",
                                            "getGUIScript"}));
}

TEST_F(Host, PrintShowsEachDocumentThroughItsClassAndRefusesInOneLine) {
    const auto printed = [](const auto& document, auto... withVoxels) {
        std::ostringstream text;
        document.PrintTo(text, withVoxels...);
        return text.str();
    };
    const std::string data = VOCELLE_TEST_DATA;
    const std::pair<Lines, std::string> cases[] = {
        {{"--no-voxels", "sample.roi"}, printed(ROI(data + "/sample.roi"), false)},
        {{"sample.voi"}, printed(VOI(data + "/sample.voi"), true)},
        {{"fmr/run1.fmr"}, printed(FMR(data + "/fmr/run1.fmr", false))},
        {{"ia.trf"}, printed(TRF(data + "/ia.trf"))},
        {{"sample.tal"}, printed(TAL(data + "/sample.tal"))},
        {{"sample.sdm"}, printed(SDM(data + "/sample.sdm"))},
    };
    for (const auto& [arguments, expected] : cases) {
        const ProgramRun result = runHost(concat({{"print"}, arguments}), data);
        EXPECT_EQ(result.status, 0) << arguments.back();
        EXPECT_EQ(result.out, expected) << arguments.back();
        EXPECT_EQ(result.err, "") << arguments.back();
    }
    EXPECT_NE(cases[1].second.find("-37 -21 58\n"), std::string::npos);

    writeAll(dir.file("notes.txt"), "FileVersion: 4\n");
    fs::create_directories(dir.path() / "folder.voi");
    for (const std::string file : {"notes.txt", "missing.roi", "folder.voi", "noextension"}) {
        const ProgramRun result = runHost({"print", file}, dir.path());
        EXPECT_EQ(result.status, 2) << file;
        EXPECT_EQ(result.out, "") << file;
        EXPECT_NE(result.err.find(file), std::string::npos) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
}

TEST_F(Host, ProgressLineOnlyOnATerminal) {
    writeAll(dir.file("jobs.txt"), "./\na.roi\na.fmr\nb.roi\n");
    int terminal = -1;
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid == 0) {
        if (chdir(dir.path().c_str()) == 0)
            execl(vocelleHost.c_str(), "vocelle", "run", "jobs.txt", nullptr);
        _exit(127);
    }
    std::string shown;
    char bytes[4096];
    for (ssize_t got; (got = read(terminal, bytes, sizeof bytes)) > 0;)
        shown.append(bytes, std::size_t(got));
    waitpid(pid, nullptr, 0);
    close(terminal);
    EXPECT_NE(shown.find("\r\x1b[K[0/2] converting ./a.roi"), std::string::npos) << shown;
    EXPECT_NE(shown.find("\r\x1b[K[1/2] converting ./b.roi"), std::string::npos) << shown;
    // Erased before the summary, which stands on a line of its own.
    EXPECT_NE(shown.find("\r\x1b[K0 converted, 2 not converted"), std::string::npos) << shown;

    const ProgramRun piped = runHost({"run", "jobs.txt"}, dir.path());
    EXPECT_EQ(piped.err, "0 converted, 2 not converted\n");
    EXPECT_EQ(piped.out.find('\r'), std::string::npos);
}

} // namespace
