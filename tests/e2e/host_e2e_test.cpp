// The real vocelle host and plug-in run as a user runs them: what passes between them, what the
// user sees, and what the bundled example study turns into through every command.

#include <vocelle/formats/myTAL.h>
#include <vocelle/formats/myVOI.h>
#include <vocelle/math/trffunctions.h>
#include "tests/e2e/program.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>
#include <tuple>

using namespace vocelle;

namespace {

namespace fs = std::filesystem;
const std::string binDir = VOCELLE_BIN_DIR, data = VOCELLE_TEST_DATA;
const fs::path studySource = fs::path(VOCELLE_EXAMPLES_DIR) / "study";

// Each run's calls between host and plug-in after the load (whose path is the build's), and what
// the user sees, as tests/data/transcripts holds them with the test's folder written DIR.
TEST(Host, TranscribesEveryCallAndExitsByOutcome) {
    const ScratchDir dir;
    const auto named = [&](std::string text) {
        for (std::size_t at; (at = text.find(dir.path().string())) != std::string::npos;)
            text.replace(at, dir.path().string().size(), "DIR");
        return text;
    };
    // The list's name holds UTF-8 (the last code point too), bytes that are not, a backslash and a
    // quote. Two jobs of an ROI line alone, the second the list's last line, without a line feed.
    const std::string jobs = dir.file("l\xc3\xa9 \xf4\x8f\xbf\xbf\xe9\xa9\\\".txt");
    writeAll(jobs, dir.file("study/") + "\nsubject one\ns1.roi\ns2.roi");
    const std::tuple<std::string, Lines, int> runs[] = {
        {"run", {"--transcript", "calls.jsonl", "run", jobs}, 1},
        {"older-host", {"--transcript", "calls.jsonl", "--host-version", "2.7.99", "run", jobs}, 2},
        {"no-list", {"--transcript", "calls.jsonl", "run", dir.file("no list.txt")}, 2}};
    for (const auto& [name, arguments, status] : runs) {
        const ProgramRun result = runHost(arguments, dir.path());
        const std::string calls = readAll(dir.file("calls.jsonl")), expected = data + "/transcripts/" + name;
        EXPECT_EQ(named(calls.substr(calls.find('\n') + 1)), readAll(expected + ".jsonl")) << name;
        // Log entries on standard output, message boxes and the summary on standard error.
        EXPECT_EQ(named(result.out + result.err), readAll(expected + ".txt")) << name;
        EXPECT_EQ(result.status, status) << name;
    }
    // A transcript that cannot be written is no success.
    const ProgramRun full = runHost({"--transcript", "/dev/full", "info"}, dir.path());
    EXPECT_EQ(full.err + std::to_string(full.status), "vocelle: Cannot Create file: /dev/full: No space left on device\n2");
}

// A damaged document (tests/data/damaged) never feeds a conversion: its job is refused in one entry
// naming the file and what is wrong, and the run goes on to convert the last job, whose short STC
// and TAL without a FileVersion are noted; its report row gives the space its VOI holds. A list
// line holding a NUL byte names no file (although every file call would read it as last.roi).
// Nothing but the last job's VOI and the report is written.
TEST(Host, RefusesDamagedStudiesAndWritesNothingElse) {
    const ScratchDir dir;
    fs::copy(data + "/damaged", dir.path());
    auto files = filesBelow(dir.path());
    const ProgramRun run = runHost({"run", "--report", "r.tsv", "jobs.txt"}, dir.path());
    EXPECT_EQ(run.out + run.err + std::to_string(run.status), readAll(data + "/damaged.txt") + "1");
    files["last_TAL_.voi"] = readAll(dir.file("last_TAL_.voi"));
    files["r.tsv"] = readAll(dir.file("r.tsv"));
    EXPECT_TRUE(filesBelow(dir.path()) == files);
    EXPECT_NE(files["r.tsv"].find("last.roi\t./last_TAL_.voi\tACPC\tconverted"), std::string::npos);

    // A list that holds no job is no success; through a pipe it is named as given.
    writeAll(dir.file("upper.txt"), "D0.ROI\n");
    const ProgramRun none =
        runProgram({"sh", "-c", "cat upper.txt | " + binDir + "/vocelle run /dev/stdin"}, dir.path());
    EXPECT_EQ(none.out.substr(22, 61) + none.err + std::to_string(none.status),
              "!!!! Job list holds no job (no line ends in roi): /dev/stdin\nvocelle: /dev/stdin holds no "
              "job: each job needs a line ending in roi, then lines ending in fmr, IA.trf, FA.trf, "
              "ACPC.trf and optionally tal (case-sensitive)\n0 converted, 0 not converted\n2");
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
    EXPECT_EQ(sequential.out, readAll(data + "/example-run.txt"));
    EXPECT_EQ(sequential.err + std::to_string(sequential.status), "2 converted, 1 not converted\n1");

    // The two VOIs are added (tests/e2e/promises_test.cpp checks that nothing else is).
    const auto files = filesBelow(one);
    const VOI tal((one / "s1/run1_TAL_.voi").string()), acpc((one / "s1/run1_ACPC_.voi").string());
    EXPECT_EQ(tal.ReferenceSpace.value() + acpc.ReferenceSpace.value(), "TALACPC");
    EXPECT_EQ(readAll(dir.file("report.tsv")), readAll(data + "/example-report.tsv"));
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
        return runHost({"convert", "--roi", s + "run1.roi", "--fmr", s + "run1.fmr", "--ia", s + "run1_IA.trf",
                        "--fa", s + "run1_FA.trf", "--acpc", s + "anat_ACPC.trf", "--tal", s + "anat.tal",
                        "-o", s + "converted.voi"}, one);
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
