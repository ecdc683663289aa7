// The README's promises for every command, through the real host (the README's "Tests" says
// what each check holds): one row per command, a small valid invocation, its inputs and outputs,
// and the same three checks on every row. A new command adds a row.

#include "tests/e2e/program.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>

namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;

struct Row {
    std::string name;
    Lines arguments; // a word starting with @ names a file of the study
    // Damage to an input starting with ! must be caught; to one with ~, unless its document's
    // reader takes it as whole; other inputs cannot be damaged (any start of a list is a list).
    Lines inputs, outputs;
    // Outputs describing the run, written whatever its jobs did; the jobs' VOIs, each written or
    // not by its own job (a later job may replace an earlier one's by design).
    Lines records = {}, vois = {};
    bool printsResult = false; // standard output is what it makes
};

void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

const std::string voi = "s1/run1_TAL_.voi", acpc = "s1/run1_ACPC_.voi";
Lines operator+(Lines lines, const std::string& line) {
    lines.push_back(line);
    return lines;
}
// A conversion uses no slice data: a damaged STC is noted in its log, not refused.
const Lines documents = Lines{"~s1/run1.roi", "~s1/run1.fmr", "~s1/run1_IA.trf", "~s1/run1_FA.trf",
                              "~s1/anat_ACPC.trf", "~s1/anat.tal"} + "s1/run1.stc";

// A job list cut at a line end is still a list, and a run report's cells can change and stay
// valid: those are not damaged.
const Row rows[] = {
    {"run", {"--transcript", "@calls.jsonl", "run", "--report", "@report.tsv", "@one.txt"},
     documents + "one.txt", {voi, "report.tsv", "calls.jsonl"}, {"report.tsv", "calls.jsonl"}, {voi}},
    {"run_jobs", {"run", "--jobs", "2", "--report", "@report.tsv", "@two.txt"},
     documents + "two.txt", {voi, acpc, "report.tsv"}, {"report.tsv"}, {voi, acpc}},
    {"convert", {"convert", "--roi", "@s1/run1.roi", "--fmr", "@s1/run1.fmr", "--ia", "@s1/run1_IA.trf",
                 "--fa", "@s1/run1_FA.trf", "--acpc", "@s1/anat_ACPC.trf", "--tal", "@s1/anat.tal", "-o",
                 "@out.voi"}, documents, {"out.voi"}},
    {"info", {"--transcript", "@calls.jsonl", "info"}, {}, {"calls.jsonl"}, {}, {}, true},
    {"print", {"print", "@" + voi}, {"~" + voi}, {}, {}, {}, true},
    {"preview", {"preview", "@" + voi, "-o", "@v.png"}, {"~" + voi}, {"v.png"}},
    {"export_nifti", {"export-nifti", "@" + voi, "-o", "@v.nii.gz"}, {"~" + voi}, {"v.nii.gz", "v.tsv"}},
    {"import_nifti", {"import-nifti", "@atlas.nii.gz", "-o", "@atlas.voi"},
     {"!atlas.nii.gz", "atlas.tsv"}, {"atlas.voi"}},
    {"stats", {"stats", "@" + voi}, {"~" + voi}, {}, {}, {}, true},
    {"split", {"split", "@two.txt", "2", "-o", "parts", "--replace"}, {"two.txt"},
     {"parts/two.1.txt", "parts/two.2.txt", "parts/split.manifest"}},
    {"gather", {"gather", "done", "-o", "@all.tsv"},
     {"!done/split.manifest", "!done/two.1.txt", "done/two.1.tsv", "!done/two.2.txt", "done/two.2.tsv"},
     {"all.tsv"}},
    {"timecourse",
     {"timecourse", "@" + voi, "@s1/run1.fmr", "--ia", "@s1/run1_IA.trf", "--fa", "@s1/run1_FA.trf",
      "--acpc", "@s1/anat_ACPC.trf", "--tal", "@s1/anat.tal", "-o", "@course.tsv"},
     Lines{"~" + voi, "~s1/run1.fmr", "!s1/run1.stc", "~s1/run1_IA.trf", "~s1/run1_FA.trf",
           "~s1/anat_ACPC.trf", "~s1/anat.tal"}, {"course.tsv"}},
    {"glm",
     {"glm", "@s1/run1.roi", "@s1/run1.fmr", "--sdm", "@s1/run1.sdm", "-o", "@fit.tsv", "--plot", "@fit.png"},
     {"~s1/run1.roi", "~s1/run1.fmr", "!s1/run1.stc", "~s1/run1.sdm"}, {"fit.tsv", "fit.png"}},
    {"glm_list", {"glm", "--list", "@one.txt", "--voi", "@" + voi, "-o", "@study.tsv"},
     documents + "one.txt" + "~s1/run1.sdm" + ("~" + voi), {"study.tsv"}, {"study.tsv"}},
};

// An input's path, without the mark of how its damage is judged.
std::string pathOf(const std::string& input) {
    return input[0] == '!' || input[0] == '~' ? input.substr(1) : input;
}

const std::string oldOutput = "old output\n";

bool among(const Lines& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// The example study, two job lists, the VOIs, an atlas, a split run's parts and reports.
Files makeStudy(const fs::path& study) {
    fs::copy(fs::path(VOCELLE_EXAMPLES_DIR) / "study", study, fs::copy_options::recursive);
    const std::string job = "s1/run1.roi\ns1/run1.fmr\ns1/run1_IA.trf\ns1/run1_FA.trf\n"
                            "s1/anat_ACPC.trf\n";
    writeAll((study / "one.txt").string(), "./\n" + job + "s1/anat.tal\ns1/run1.sdm\n");
    writeAll((study / "two.txt").string(), "./\n" + job + "s1/anat.tal\n" + job);
    for (const Lines& command :
         {Lines{"run", "two.txt"}, Lines{"export-nifti", voi, "-o", "atlas.nii.gz"},
          Lines{"split", "two.txt", "2", "-o", "done"},
          Lines{"run", "--report", "done/two.1.tsv", "done/two.1.txt"},
          Lines{"run", "--report", "done/two.2.tsv", "done/two.2.txt"}})
        EXPECT_EQ(runHost(command, study).status, 0) << command[0];
    return filesBelow(study);
}

class Promises : public testing::TestWithParam<Row> {
  protected:
    void SetUp() override { pristine = makeStudy(study); }

    // The study as made, the outputs holding `outputs` (not there when empty).
    void reset(const std::string& outputs) const {
        fs::remove_all(study);
        fs::remove_all(temporary);
        fs::create_directories(temporary);
        for (const auto& [name, bytes] : pristine) {
            fs::create_directories((study / name).parent_path());
            writeAll((study / name).string(), bytes);
        }
        for (const std::string& output : GetParam().outputs) {
            fs::remove(study / output);
            fs::create_directories((study / output).parent_path());
            if (!outputs.empty()) writeAll((study / output).string(), outputs);
        }
    }

    // The row's command, `output` named as `instead` when given.
    ProgramRun run(const std::string& output = "", const std::string& instead = "",
                   double killAfter = -1) const {
        Lines arguments;
        for (const std::string& word : GetParam().arguments)
            arguments.push_back(word == "@" + output ? instead : word[0] == '@' ? word.substr(1) : word);
        return runHost(arguments, study, temporary.string(), killAfter);
    }

    Files outputsNow() const {
        Files now;
        for (const std::string& output : GetParam().outputs)
            now[output] = fs::exists(study / output) ? readAll((study / output).string()) : "";
        return now;
    }

    // Nothing but the study's files and the outputs, and nothing in the temporary folder.
    void expectNoStrayFile(const std::string& when) const {
        for (const auto& [name, bytes] : filesBelow(study))
            EXPECT_TRUE(among(GetParam().outputs, name) || pristine.count(name))
                << name << " left " << when;
        EXPECT_TRUE(fs::is_empty(temporary)) << "a temporary left " << when;
    }

    const ScratchDir dir;
    const fs::path study = dir.path() / "study", temporary = dir.path() / "tmp";
    Files pristine;
};

TEST_P(Promises, NoOutputIsAnInputOrAnotherOutput) {
    const Row& row = GetParam();
    for (const std::string& output : row.outputs) {
        Lines others;
        for (const std::string& input : row.inputs)
            others.push_back(pathOf(input));
        for (const std::string& other : row.outputs)
            if (other != output && !(among(row.vois, output) && among(row.vois, other)))
                others.push_back(other);
        for (const std::string& other : others)
            for (const std::string way : {"named", "symbolic link", "hard link"}) {
                reset(oldOutput);
                if (way == "named" && !among(row.arguments, "@" + output)) continue;
                if (way != "named") fs::remove(study / output);
                if (way == "symbolic link") fs::create_symlink(study / other, study / output);
                if (way == "hard link") fs::create_hard_link(study / other, study / output);
                const Files before = filesBelow(study);
                const ProgramRun refused = way == "named" ? run(output, other) : run();
                EXPECT_TRUE(refused.status == 2 && refused.err.rfind("vocelle: ", 0) == 0 &&
                            refused.err.find('\n') + 1 == refused.err.size() && filesBelow(study) == before)
                    << output << " as " << other << " by " << way << ": " << refused.out << refused.err;
            }
    }
}

TEST_P(Promises, DamagedInputIsRefusedOrChangesNothing) {
    const Row& row = GetParam();
    reset("");
    const ProgramRun whole = run();
    ASSERT_EQ(whole.status, 0) << whole.err;
    const Files expected = outputsNow();
    std::mt19937 random(7);
    for (const std::string& marked : row.inputs) {
        const std::string input = pathOf(marked), bytes = pristine.at(input);
        if (input == marked) continue;
        const std::size_t size = bytes.size();
        Lines damaged;
        for (std::size_t cut : {std::size_t(0), std::size_t(1), size / 2, size - 1})
            damaged.push_back(bytes.substr(0, cut));
        for (int i = 0; i < 12; ++i) {
            damaged.push_back(bytes.substr(0, random() % size));
            if (i % 3 == 0) damaged.push_back(bytes), damaged.back()[random() % size] = 'x';
        }
        for (const std::string& content : damaged) {
            reset(oldOutput);
            writeAll((study / input).string(), content);
            if (marked[0] == '~' && runHost({"print", input}, study).status == 0) continue;
            const ProgramRun result = run();
            const std::string what = input + " damaged to " + std::to_string(content.size()) +
                                     " bytes: " + result.out + result.err;
            if (result.status == 0) {
                EXPECT_TRUE(outputsNow() == expected && (!row.printsResult || result.out == whole.out))
                    << what;
            } else {
                EXPECT_NE((result.out + result.err).find(input), std::string::npos) << what;
                for (const auto& [output, now] : outputsNow())
                    EXPECT_TRUE(among(row.records, output) || now == oldOutput ||
                                (among(row.vois, output) && now == expected.at(output)))
                        << output << ", " << what;
            }
            expectNoStrayFile("after " + what);
        }
    }
}

TEST_P(Promises, KilledLeavesOldOrNewAndNoTemporary) {
    reset("");
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(run().status, 0);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    const Files expected = outputsNow();
    std::mt19937 random(std::hash<std::string>()(GetParam().name));
    for (int kill = 0; kill < 4; ++kill) {
        reset(oldOutput);
        const double after = std::uniform_real_distribution<double>(0, 1.2 * took.count())(random);
        run("", "", after);
        const Files now = outputsNow();
        const std::string when = "killed after " + std::to_string(after) + " s";
        for (const auto& [output, bytes] : now)
            EXPECT_TRUE(bytes == oldOutput || bytes == expected.at(output)) << output << " " << when;
        // A reader must never meet a new image beside the old table.
        EXPECT_TRUE(!now.count("v.nii.gz") || now.at("v.nii.gz") != expected.at("v.nii.gz") ||
                    now.at("v.tsv") == expected.at("v.tsv"))
            << when;
        expectNoStrayFile(when);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryCommand, Promises, testing::ValuesIn(rows),
                         [](const testing::TestParamInfo<Row>& row) { return row.param.name; });

} // namespace
