// The real vocelle host and plug-in run as a user runs them: what passes between them, what the
// user sees, and what the bundled example study turns into through every command.

#include <vocelle/formats/myTAL.h>
#include <vocelle/formats/myVOI.h>
#include <vocelle/math/trffunctions.h>
#include "tests/e2e/program.h"
#include "tests/formats/conversionfiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <sstream>

using namespace vocelle;

namespace {

namespace fs = std::filesystem;
const std::string binDir = VOCELLE_BIN_DIR, data = VOCELLE_TEST_DATA;
const fs::path studySource = fs::path(VOCELLE_EXAMPLES_DIR) / "study";

// One line of a transcript.
std::string call(const std::string& name, const std::string& text) {
    return R"({"call":")" + name + R"(","text":")" + text + "\"}\n";
}

// The calls of a run: information, create, the version given, `calls`, destroy and unload.
std::string runCalls(const std::string& version, const std::string& calls) {
    return R"({"plugin":"getPluginName","result":"Vocelle"}
{"plugin":"getPluginDescription","result":"Creates VOIs from a ROIs using a textfile with the names of all the necessary files"}
{"plugin":"getAuthor","result":"<i>Tovel</i>"}
{"plugin":"getHelpFile","result":"HelpFolder/index.html"}
{"plugin":"getPluginVersion","result":"1.4"}
{"plugin":"getGUIScript","result":""}
{"plugin":"createPlugin","result":true}
{"call":"hxGetVersionOfCorvane",)" +
           version + "}\n" + calls + R"({"plugin":"destroy"})" + "\n" +
           call("hxLogText", "Vocelle>  Plugin finished!\\n") + R"({"plugin":"unload"})" + "\n" +
           call("hxLogText", "") + call("hxLogText", "Destructor of TarnLog never called");
}

TEST(Host, TranscribesEveryCallAndExitsByOutcome) {
    const ScratchDir dir;
    const std::string base = dir.file("study/"), transcript = dir.file("transcript.jsonl");
    // The list's name holds UTF-8, bytes that are not, a backslash and a quote.
    const std::string jobs = dir.file("l\xc3\xa9 \xe9\xa9\\\".txt");
    // Two jobs of an ROI line alone, the second the list's last line, without a line feed.
    writeAll(jobs, base + "\nsubject one\ns1.roi\ns2.roi");
    const auto chooser = [](const std::string& answer) {
        return R"({"call":"hxGetOpenFileName","title":"Choose a TXT file to read",)"
               R"j("second":"","filter":"Text file (*.txt)","answer":")j" +
               answer + "\"}\n";
    };
    const std::string start = std::string(R"({"call":"hxShowLogTab"})") + "\n" +
                              call("hxLogText", "\\nVocelle>  Running...") +
                              R"({"plugin":"initPlugin","result":true})" + "\n",
                      executed = std::string(R"({"plugin":"execute","result":true})") + "\n";
    std::string calls = start + chooser(dir.file("l\xc3\xa9 \\u00e9\\u00a9\\\\\\\".txt")),
                out = "\nVocelle>  Running...\n";
    for (const std::string roi : {"s1.roi", "s2.roi"})
        for (const std::string& line :
             Lines{"!!!! Not enough files could be loaded to convert " + base + roi,
                   "ROI could not be loaded: " + base + roi,
                   "FMR could not be loaded: ", "IA.trf could not be loaded: ",
                   "FA.trf could not be loaded: ", "ACPC.trf could not be loaded: "}) {
            calls += call("hxLogText", line);
            out += line + "\n";
        }

    const auto expectRun = [&](Lines arguments, const std::string& calls, const std::string& out,
                               int status) {
        arguments.insert(arguments.begin(), {"--transcript", transcript});
        const ProgramRun result = runHost(arguments, dir.path());
        const std::string got = readAll(transcript);
        EXPECT_EQ(got.substr(got.find('\n') + 1), calls); // after the load, with its path
        // Log entries on standard output, message boxes and the summary on standard error.
        EXPECT_EQ(result.out + result.err + std::to_string(result.status),
                  out + std::to_string(status));
    };
    const std::string v280 = R"("major":2,"minor":8,"sub":0)",
                      none = "0 converted, 0 not converted\n",
                      finished =
                          "Vocelle>  Plugin finished!\n\n\nDestructor of TarnLog never called\n",
                      old = "Can not execute this plugin - Corvane version 2.8 or higher required.",
                      unreadable = " Error: Can not read this text file!";
    expectRun({"run", jobs}, runCalls(v280, calls + executed),
              out + finished + "0 converted, 2 not converted\n", 1);
    expectRun(
        {"--host-version", "2.7.99", "run", jobs},
        runCalls(R"("major":2,"minor":7,"sub":99)",
                 call("hxMessageBox", old) + R"({"plugin":"initPlugin","result":false})" + "\n"),
        finished + old + "\nvocelle: the plug-in did not start\n" + none, 2);
    expectRun({"run", dir.file("no list.txt")},
              runCalls(v280, start + chooser(dir.file("no list.txt")) +
                                 call("hxMessageBox", unreadable) + executed),
              "\nVocelle>  Running...\n" + finished + unreadable + "\nvocelle: cannot read the job list " +
                  dir.file("no list.txt") + ": No such file or directory\n" + none,
              2);
    // A transcript that cannot be written is no success.
    const ProgramRun full = runHost({"--transcript", "/dev/full", "info"}, dir.path());
    EXPECT_EQ(full.err + std::to_string(full.status), "vocelle: Cannot Create file: /dev/full: No space left on device\n2");
}

// A damaged document never feeds a conversion: its job is refused in one entry naming the file
// and what is wrong, nothing is saved, and the run goes on to convert the last job, whose short
// STC file and TAL without a FileVersion are noted; its report row gives the space its VOI holds.
// A list line holding a NUL byte names no file (although every file call would read it as
// last.roi). Nothing but the last job's VOI and the report is written.
TEST(Host, RefusesDamagedStudiesAndWritesNothingElse) {
    namespace cf = conversionfiles;
    const ScratchDir dir;
    const std::string base = dir.path().string() + "/", fmr = cf::fmr("d", cf::Grid{8, 8, 8});
    const std::pair<std::string, std::string> damaged[] = {
        {".roi", "NrOfTCPlots: 1\nNrOfVoxels: 3\n1 2 3\n4 5"},
        {".roi", "NrOfTCPlots: 2\nNrOfVoxels: 1\n1 2 3\n"},
        {"_IA.trf", ""},
        {"_IA.trf", cf::trf(true).substr(0, 80) + "ToVMRVoxelRes: -1\n"},
        {"_FA.trf", "FileVersion: 8\nDataFormat: Matrix\n1 0 0 0\n0 1"},
        {".tal", "FileVersion: 1\nAC: 128 128 128\n"},
        {".fmr", fmr.substr(0, fmr.find("ResolutionX")) + "ResolutionX: 0\n"},
        {"_FA.trf", "FileVersion: 8\nDataFormat: Text\n1 0 0 0\n0 1 0 0\n0 0 1 0\n0 0 0 1\n"},
        {"_ACPC.trf", "FileVersion: 8\n"},
        {".fmr", fmr.substr(0, fmr.find("SliceGap")) + "SliceGap: -1\n"},
        {".roi", "NrOfTCPlots: 1\nNrOfVoxels: 1\n1 2 3\n4 5 6\n"},
        {".fmr", fmr + "SliceTimingTableSize: 8\n0 1\n"}};
    const std::string wrong[] = {
        "Read only partly (the file ends after 1 of the 3 voxels of region 1)",
        "Read only partly (the file ends after 1 of 2 regions)",
        "Initial alignment has no matrix",
        "Initial alignment has no positive ToVMRVoxelRes",
        "Read only partly (the values after DataFormat: are cut off)",
        "Read only partly (the landmarks PC: AP: PP: SP: IP: RP: LP: are missing)",
        "FMR has no positive ResolutionX",
        "Fine alignment has no matrix",
        "AC-PC transformation has no matrix",
        "FMR has no positive slice distance (SliceThickness + SliceGap)",
        "Read only partly (region 1 lists more voxels than its NrOfVoxels: 1)",
        "Read only partly (the values after SliceTimingTableSize: are cut off)"};
    std::string list = base + "\n", log = "\nVocelle>  Running...\n";
    for (std::size_t i = 0; i < std::size(damaged); ++i) {
        const std::string name = "d" + std::to_string(i);
        list += cf::job(base, name, {{{4, 4, 4}}}, cf::Grid{8, 8, 8}) + name + ".tal\n";
        writeAll(base + name + ".tal", cf::tal(1));
        writeAll(base + name + damaged[i].first, damaged[i].second);
        log += "!!!! Could not convert " + base + name + ".roi: " + wrong[i] + ": " + base + name +
               damaged[i].first + "\n";
    }
    writeAll(base + "jobs.txt", list + std::string("last.roi\0.roi\n", 14) +
                                    cf::job(base, "last", {{{4, 4, 4}}}, {8, 8, 8, 1, 1, 1}) +
                                    "last.tal\n");
    writeAll(base + "last.tal", cf::tal(1).substr(15));
    auto files = filesBelow(dir.path());
    const ProgramRun run = runHost({"run", "--report", "r.tsv", "jobs.txt"}, dir.path());
    EXPECT_EQ(
        run.out + run.err + std::to_string(run.status),
        log + "!!!! Not enough files could be loaded to convert " + base + "last.roi\\0.roi\n" +
            "ROI could not be loaded: " + base +
            "last.roi\\0.roi\nFMR could not be loaded: \nIA.trf could not be loaded: \n"
            "FA.trf could not be loaded: \nACPC.trf could not be loaded: \nConverted " +
            base + "last.roi\n!!! STC file too short for its FMR header (the conversion uses no "
            "slice data): " + base + "last.stc\n" +
            "!!! TAL without FileVersion line counts as absent, the VOI holds ACPC coordinates: " +
            base +
            "last.tal\nVocelle>  Plugin finished!\n\n\nDestructor of TarnLog never called\n"
            "1 converted, 13 not converted\n1");
    files["last_TAL_.voi"] = readAll(base + "last_TAL_.voi");
    files["r.tsv"] = readAll(base + "r.tsv");
    EXPECT_TRUE(filesBelow(dir.path()) == files);
    EXPECT_NE(files["r.tsv"].find("last.roi\t" + base + "last_TAL_.voi\tACPC\tconverted"), std::string::npos);

    // A list that holds no job is no success; through a pipe it is named as given.
    writeAll(base + "upper.txt", "D0.ROI\n");
    const ProgramRun none =
        runProgram({"sh", "-c", "cat upper.txt | " + binDir + "/vocelle run /dev/stdin"}, dir.path());
    EXPECT_EQ(none.out.substr(22, 61) + none.err + std::to_string(none.status),
              "!!!! Job list holds no job (no line ends in roi): /dev/stdin\n"
              "vocelle: /dev/stdin holds no job: each job needs a line ending in roi, then lines "
              "ending in fmr, "
              "IA.trf, FA.trf, ACPC.trf and optionally tal (case-sensitive)\n0 converted, 0 not "
              "converted\n2");
}

// A save replaces a file whole or not at all, run as nobody: it is refused where the new file
// could not be the old one's faithful replacement (a file the user may not write, a folder that
// takes no new file, another user's file, in a sticky folder too), and the old file stays. A file
// of the user's own keeps its mode; another hard link keeps the old content; a name as long as
// the file system takes is saved. Shown with the NIfTI export (an image and a label table); no
// temporary stays behind.
TEST(Host, ReplacesWholeOrRefusesSayingWhy) {
    if (runProgram({"setpriv", "--reuid=65534", "true"}, ".").status != 0)
        GTEST_SKIP() << "cannot run as nobody";
    const ScratchDir dir;
    fs::permissions(dir.path(), fs::perms::all);
    fs::copy_file(data + "/sample.voi", dir.file("v.voi"));
    const struct {
        std::string name;
        unsigned folder, file; // modes; file 0: none there before
        bool ours, linked;     // the old file is nobody's; it has a second name
        std::string refusal;   // empty: saved
    } saves[] = {{"locked/x", 0777, 0644, false, false, "Permission denied"},
                 {"closed/x", 0755, 0666, false, false, "its folder takes no new file"},
                 {"sticky/x", 01777, 0666, false, false, "another user"},
                 {"own/x", 01777, 0640, true, false, ""},
                 {"linked/x", 0777, 0644, true, true, ""},
                 {"long/" + std::string(246, 'n'), 0777, 0, false, false, ""}};
    const mode_t mask = ::umask(0);
    ::umask(mask);
    for (const auto& save : saves) {
        const fs::path image = dir.path() / (save.name + ".nii"), folder = image.parent_path();
        fs::create_directory(folder);
        for (const auto& file : {image, fs::path(image).replace_extension(".tsv")})
            if (save.file != 0) {
                writeAll(file.string(), "old");
                fs::permissions(file, fs::perms(save.file));
                if (save.ours) ::chown(file.c_str(), 65534, 65534);
            }
        if (save.linked) fs::create_hard_link(image, folder / "other.nii");
        fs::permissions(folder, fs::perms(save.folder));
        const ProgramRun run =
            runProgram({"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                        binDir + "/vocelle", "export-nifti", "v.voi", "-o", image.string()},
                       dir.path());
        const auto files = filesBelow(folder);
        ASSERT_EQ(files.size(), save.linked ? 3u : 2u) << save.name;
        const std::string written = files.at(image.filename().string()) + files.rbegin()->second;
        struct stat info {};
        ::stat(image.c_str(), &info);
        if (save.refusal.empty())
            EXPECT_TRUE(run.status == 0 && written.size() > (1u << 24) && info.st_uid == 65534 &&
                        (info.st_mode & 07777) == (save.file == 0 ? 0666u & ~mask : save.file) &&
                        (!save.linked || files.at("other.nii") == "old"))
                << save.name << run.err;
        else
            EXPECT_TRUE(run.status == 2 && written == "oldold" &&
                        run.err.rfind("vocelle: Cannot Create file: " + image.string(), 0) == 0 &&
                        run.err.find(save.refusal) != std::string::npos)
                << save.name << run.err;
    }
}

// Each region lands where examples/README.md says it was drawn (Talairach centre, right,
// anterior, superior, and radius in mm), about as large as its sphere, inside the Talairach
// box; the AC-PC output is the same region before the Talairach normalisation.
void expectRegionsWhereDrawn(const VOI& tal, const VOI& acpc, const TAL& landmarks) {
    const double regions[][4] = {
        {-8, -84, 4, 11}, {-36, -22, 54, 9}, {-30, -12, 60, 7}, {12, -18, 8, 6}, {0, 0, 0, 0}};
    ASSERT_EQ(tal.vois.size() + acpc.vois.size(), 2 * std::size(regions));
    for (size_t i = 0; i < std::size(regions); ++i) {
        const auto &inTal = tal.vois[i].voxels, &inAcpc = acpc.vois[i].voxels;
        const double *r = regions[i], sphere = 4.0 / 3.0 * 3.14159265358979 * r[3] * r[3] * r[3];
        EXPECT_NEAR(double(inTal.size()), sphere, 0.15 * sphere) << i;
        EXPECT_NEAR(double(inAcpc.size()), double(inTal.size()), 0.15 * inTal.size()) << i;
        glm::dvec3 c(0.0), a(0.0); // centroids
        for (const auto& v : inTal) {
            c += glm::dvec3(v) / double(inTal.size());
            EXPECT_TRUE(std::abs(v.x) <= 68 && v.y >= -102 && v.y <= 70 && v.z >= -42 && v.z <= 74);
        }
        for (const auto& v : inAcpc)
            a += glm::dvec3(v) / double(inAcpc.size());
        float p[4] = {float(128 - c.y), float(128 - c.z), float(128 - c.x), 1};
        untal(p, landmarks);
        for (int axis = 0; axis < 3 && !inTal.empty(); ++axis)
            EXPECT_TRUE(std::abs(c[axis] - r[axis]) < 1.5 && std::abs(a[axis] - p[axis]) < 1.5)
                << "VOI " << i + 1 << " axis " << axis << ": " << c[axis] << " " << a[axis];
    }
}

TEST(ExampleStudy, IsWhatItsGeneratorMakesAndConvertsThroughEveryCommand) {
    const ScratchDir dir;
    const fs::path one = dir.path() / "1";
    const ProgramRun made = runProgram({binDir + "/make_study", one.string()}, dir.path());
    EXPECT_TRUE(made.status == 0 && filesBelow(one) == filesBelow(studySource))
        << made.err << "regenerate with make_study examples/study";
    const ProgramRun sequential = runHost({"run", "--report", dir.file("report.tsv"), "jobs.txt"}, one);
    EXPECT_EQ(
        sequential.out,
        "\nVocelle>  Running...\nConverted ./s1/run1.roi\nConverted ./s1/run1.roi\n"
        "!!!! Not enough files could be loaded to convert ./s2/run1.roi\n"
        "FMR could not be loaded: ./s2/run1.fmr\nFA.trf could not be loaded: ./s2/run1_FA.trf\n"
        "Vocelle>  Plugin finished!\n\n\nDestructor of TarnLog never called\n");
    EXPECT_EQ(sequential.err + std::to_string(sequential.status),
              "2 converted, 1 not converted\n1");

    // A run that cannot be done ends with status 2, one line naming what was refused and the
    // summary line.
    for (const auto& [arguments, named] : std::vector<std::pair<Lines, std::string>>{
             {{"--plugin", "none.so", "run"}, "none.so"},
             {{"run", "--jobs", "2", "--transcript", "t", "jobs.txt"}, "--transcript"}}) {
        const ProgramRun result = runHost(arguments, one);
        EXPECT_TRUE(result.status == 2 && result.out.empty() && result.err.rfind("vocelle: ", 0) == 0 &&
                    result.err.find(named) != named.npos)
            << result.status << result.out << result.err;
    }

    // The two VOIs are added (tests/e2e/promises_test.cpp checks that nothing else is).
    const auto files = filesBelow(one);
    const VOI tal((one / "s1/run1_TAL_.voi").string()), acpc((one / "s1/run1_ACPC_.voi").string());
    EXPECT_EQ(tal.ReferenceSpace.value() + acpc.ReferenceSpace.value(), "TALACPC");
    const auto counts = [](const VOI& voi) {
        std::string text;
        for (const auto& entry : voi.vois) text += (text.empty() ? "" : ",") + std::to_string(entry.voxels.size());
        return text;
    };
    EXPECT_EQ(readAll(dir.file("report.tsv")),
              "roi\tvoi\tspace\tstatus\treason\tvoxels\n./s1/run1.roi\t./s1/run1_TAL_.voi\tTAL\tconverted\t\t" +
                  counts(tal) + "\n./s1/run1.roi\t./s1/run1_ACPC_.voi\tACPC\tconverted\t\t" + counts(acpc) +
                  "\n./s2/run1.roi\t\tTAL\tnot converted\tFMR could not be loaded: ./s2/run1.fmr; FA.trf could "
                  "not be loaded: ./s2/run1_FA.trf\t\n");
    expectRegionsWhereDrawn(tal, acpc, TAL((one / "s1/anat.tal").string()));

    // The preview of the converted regions: the views through their centre.
    const ProgramRun preview = runHost({"preview", "s1/run1_TAL_.voi", "-o", "/dev/null"}, one);
    EXPECT_EQ(preview.out + preview.err, "/dev/null: views through cube voxel 146 123 145\n");

    // Worker processes (the last with two jobs; the middle one neither first nor last), and the
    // list through a pipe: the same log, summary, status, files and report as one process.
    int copies = 0;
    for (const std::string run : {"--jobs 2 jobs.txt", "--jobs 3 jobs.txt", "/dev/stdin", "--jobs 2 /dev/stdin"}) {
        const fs::path copy = dir.path() / ("p" + std::to_string(++copies));
        fs::copy(studySource, copy, fs::copy_options::recursive);
        const ProgramRun parallel = runProgram(
            {"sh", "-c", "cat jobs.txt | " + binDir + "/vocelle run --report ../r.tsv " + run}, copy);
        EXPECT_EQ(parallel.out + parallel.err + std::to_string(parallel.status),
                  sequential.out + sequential.err + "1");
        EXPECT_TRUE(filesBelow(copy) == files) << run;
        EXPECT_EQ(readAll(dir.file("r.tsv")), readAll(dir.file("report.tsv"))) << run;
    }

    // The report on standard output, the log then on standard error.
    const ProgramRun piped = runHost({"run", "--report", "-", "jobs.txt"}, one);
    EXPECT_EQ(piped.out + piped.err, readAll(dir.file("report.tsv")) + sequential.out + sequential.err);

    // One subject without a list: the same bytes, and the same report.
    const auto convert = [&](const std::string& s) {
        return runHost({"convert", "--roi", s + "run1.roi", "--fmr", s + "run1.fmr", "--ia",
                        s + "run1_IA.trf", "--fa", s + "run1_FA.trf", "--acpc", s + "anat_ACPC.trf",
                        "--tal", s + "anat.tal", "-o", s + "converted.voi"},
                       one);
    };
    const ProgramRun converted = convert("./s1/"), refused = convert("./s2/");
    EXPECT_EQ(converted.out + converted.err + std::to_string(converted.status),
              "Converted ./s1/run1.roi\n1 converted, 0 not converted\n0");
    EXPECT_EQ(readAll((one / "s1/converted.voi").string()), files.at("s1/run1_TAL_.voi"));
    const auto report = sequential.out.find("!!!!"), end = sequential.out.find("Vocelle>  Plugin");
    EXPECT_EQ(refused.out + std::to_string(refused.status),
              sequential.out.substr(report, end - report) + "1");

    // The progress line goes where standard error goes (a terminal here), not with the log.
    const ProgramRun shown =
        runProgram({"script", "-qec", binDir + "/vocelle run jobs.txt > log.txt", "/dev/null"}, one);
    EXPECT_NE(shown.out.find("\r\033[K[1/3] converting ./s1/run1.roi"), std::string::npos) << shown.out;
    EXPECT_EQ(readAll((one / "log.txt").string()), sequential.out);
}

// Print shows each kind of document in its file layout; --no-voxels as its class does.
TEST(PrintCommand, ShowsEachDocumentInItsLayout) {
    for (const std::string file :
         {"sample.roi", "sample.voi", "fmr/run1.fmr", "ia.trf", "sample.tal", "sample.sdm"}) {
        const ProgramRun printed = runHost({"print", file}, fs::path(data));
        EXPECT_EQ(printed.out + printed.err + std::to_string(printed.status),
                  readAll((data + "/" + file)) + "0");
    }
    std::ostringstream noVoxels;
    VOI(data + "/sample.voi").PrintTo(noVoxels, false);
    EXPECT_EQ(runHost({"print", "--no-voxels", "sample.voi"}, fs::path(data)).out, noVoxels.str());
}

TEST(PluginLibrary, ExportsExactlyTheSevenEntryPoints) {
    const ProgramRun nm = runProgram(
        {"sh", "-c",
         "nm -D --defined-only " + binDir + "/libVocelle.so | awk '{print $NF}' | LC_ALL=C sort"},
        ".");
    EXPECT_EQ(nm.out, "createPlugin\ngetAuthor\ngetGUIScript\ngetHelpFile\ngetPluginDescription\n"
                      "getPluginName\ngetPluginVersion\n")
        << nm.err;
}

} // namespace
