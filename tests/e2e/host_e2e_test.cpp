// Runs the real vocelle host and plug-in and checks what reaches the host, byte for byte.

#include <gtest/gtest.h>

#include <unistd.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

const std::string binDir = VOCELLE_BIN_DIR;

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

Lines splitLines(const std::string& text) {
    Lines lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

struct HostRun {
    int status = -1;
    std::string out, err;
    Lines transcript; // without the first line, which holds the plug-in's path
};

class Host : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("vocelle_e2e_" + std::to_string(getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    HostRun run(const Lines& arguments) {
        std::string command = "cd " + quoted(dir.string()) + " && " + quoted(binDir + "/vocelle") +
                              " --transcript transcript.jsonl";
        for (const auto& argument : arguments) command += " " + quoted(argument);
        command += " > out.txt 2> err.txt";
        const int raw = std::system(command.c_str());
        HostRun result;
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        result.out = readFile(dir / "out.txt");
        result.err = readFile(dir / "err.txt");
        result.transcript = splitLines(readFile(dir / "transcript.jsonl"));
        if (!result.transcript.empty()) result.transcript.erase(result.transcript.begin());
        return result;
    }

    std::string write(const std::string& name, const std::string& content) {
        const fs::path path = dir / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
        return path.string();
    }

    fs::path dir;
};

const Lines infoCalls = {
    R"({"plugin":"getPluginName","result":"Vocelle"})",
    R"({"plugin":"getPluginDescription","result":"Creates VOIs from a ROIs using a textfile with the names of all the necessary files"})",
    R"({"plugin":"getAuthor","result":"<i>Tovel</i>"})",
    R"({"plugin":"getHelpFile","result":"HelpFolder/index.html"})",
    R"({"plugin":"getPluginVersion","result":"1.4"})",
    R"({"plugin":"getGUIScript","result":""})",
};

Lines startCalls(const char* version) {
    Lines lines = infoCalls;
    lines.push_back(R"({"plugin":"createPlugin","result":true})");
    lines.push_back(version);
    return lines;
}

const Lines started = {
    R"({"call":"hxShowLogTab"})",
    R"({"call":"hxLogText","text":"\nVocelle>  Running..."})",
    R"({"plugin":"initPlugin","result":true})",
};

const Lines closing = {
    R"({"plugin":"destroy"})",
    R"({"call":"hxLogText","text":"Vocelle>  Plugin finished!\n"})",
    R"({"plugin":"unload"})",
    R"({"call":"hxLogText","text":""})",
    R"({"call":"hxLogText","text":"Destructor of TarnLog never called"})",
};

std::string chooser(const std::string& answer) {
    return R"j({"call":"hxGetOpenFileName","title":"Choose a TXT file to read","second":"","filter":"Text file (*.txt)","answer":")j" +
           answer + "\"}";
}

std::string logged(const std::string& text) { return R"({"call":"hxLogText","text":")" + text + "\"}"; }

Lines concat(std::initializer_list<Lines> parts) {
    Lines all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

std::string lastLine(const std::string& text) {
    const Lines lines = splitLines(text);
    return lines.empty() ? "" : lines.back();
}

TEST_F(Host, MissingFilesAreReportedInOrderAndTheRunExitsOne) {
    const std::string base = dir.string() + "/study/";
    const std::string list = write("jobs.txt", base + "\nsubject one\ns1/run1.roi\ns1/run1.fmr\ns1/run1_IA.trf\n"
                                                      "s1/run1_FA.trf\ns1/anat_ACPC.trf\ns1/anat.tal\n"
                                                      "s2/run1.roi\ns2/run1.fmr\ns2/run1_IA.trf\n");
    // Job 2 has its ROI, FMR and IA files; only its three unnamed files are reported.
    write("study/s2/run1.roi", "x");
    write("study/s2/run1.fmr", "x");
    write("study/s2/run1_IA.trf", "x");

    const HostRun result = run({"run", list});
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
        "ACPC.trf could not be loaded: ",
    };
    Lines reportCalls;
    std::string reportOut;
    for (const auto& line : report) {
        reportCalls.push_back(logged(line));
        reportOut += line + "\n";
    }
    EXPECT_EQ(result.transcript,
              concat({startCalls(R"({"call":"hxGetVersionOfCorvane","major":2,"minor":8,"sub":0})"), started,
                      {chooser(list)}, reportCalls, {R"({"plugin":"execute","result":true})"}, closing}));
    EXPECT_EQ(result.out, "\nVocelle>  Running...\n" + reportOut +
                              "Vocelle>  Plugin finished!\n\n\nDestructor of TarnLog never called\n");
    EXPECT_EQ(result.err, "0 converted, 2 not converted\n");
    EXPECT_EQ(result.status, 1);
}

TEST_F(Host, HostVersionIsCheckedPartByPart) {
    const std::string list = write("jobs.txt", "/nowhere/\n");
    for (const auto& version : {"2.8.0", "2.10.0", "3.0.0"}) {
        const HostRun result = run({"--host-version", version, "run", list});
        ASSERT_GE(result.transcript.size(), 8u) << version;
        EXPECT_EQ(Lines(result.transcript.begin() + 8, result.transcript.begin() + 11), started) << version;
        EXPECT_EQ(result.status, 0) << version;
        EXPECT_EQ(result.err, "0 converted, 0 not converted\n") << version;
    }

    const HostRun old = run({"--host-version", "2.7.99", "run", list});
    EXPECT_EQ(old.transcript,
              concat({startCalls(R"({"call":"hxGetVersionOfCorvane","major":2,"minor":7,"sub":99})"),
                      {R"({"call":"hxMessageBox","text":"Can not execute this plugin - Corvane version 2.8 or higher required."})",
                       R"({"plugin":"initPlugin","result":false})"},
                      closing}));
    EXPECT_EQ(old.err.rfind("Can not execute this plugin - Corvane version 2.8 or higher required.\n", 0), 0u) << old.err;
    EXPECT_EQ(lastLine(old.err), "0 converted, 0 not converted");
    EXPECT_EQ(old.status, 2);
}

TEST_F(Host, UnreadableListShowsItsMessageBoxAndExitsTwo) {
    const std::string missing = (dir / "no such list.txt").string();
    for (const Lines& arguments : {Lines{"run", missing}, Lines{"run"}}) {
        const std::string answer = arguments.size() > 1 ? missing : "";
        const HostRun result = run(arguments);
        EXPECT_EQ(result.transcript,
                  concat({startCalls(R"({"call":"hxGetVersionOfCorvane","major":2,"minor":8,"sub":0})"), started,
                          {chooser(answer), R"({"call":"hxMessageBox","text":" Error: Can not read this text file!"})",
                           R"({"plugin":"execute","result":true})"},
                          closing}))
            << answer;
        EXPECT_EQ(result.err, " Error: Can not read this text file!\n0 converted, 0 not converted\n");
        EXPECT_EQ(result.status, 2);
    }
}

TEST_F(Host, AFailingJobIsLoggedAndTheNextJobStillRuns) {
    const std::string base = dir.string() + "/";
    for (const char* name : {"s1.roi", "s1.fmr", "s1_IA.trf", "s1_FA.trf", "s1_ACPC.trf"}) write(name, "");
    // Carriage-return line ends: the files must still be found under the first line's folder.
    const std::string list = write("jobs.txt", base + "\r\ns1.roi\r\ns1.fmr\r\ns1_IA.trf\r\ns1_FA.trf\r\n"
                                                      "s1_ACPC.trf\r\ns2.roi");
    const HostRun result = run({"run", list});
    const Lines out = splitLines(result.out);
    ASSERT_GE(out.size(), 5u) << result.out;
    const std::string failed = "!!!! Could not convert " + base + "s1.roi: ";
    EXPECT_EQ(out[2].rfind(failed, 0), 0u) << out[2];
    EXPECT_GT(out[2].size(), failed.size()) << "the reason is missing";
    EXPECT_EQ(out[3], "!!!! Not enough files could be loaded to convert " + base + "s2.roi");
    EXPECT_EQ(out[4], "ROI could not be loaded: " + base + "s2.roi");
    EXPECT_EQ(result.err, "0 converted, 2 not converted\n");
    EXPECT_EQ(result.status, 1);
}

TEST_F(Host, InfoPrintsTheSixTexts) {
    const HostRun result = run({"info"});
    EXPECT_EQ(result.out,
              "name: Vocelle\n"
              "description: Creates VOIs from a ROIs using a textfile with the names of all the necessary files\n"
              "author: <i>Tovel</i>\n"
              "help file: HelpFolder/index.html\n"
              "version: 1.4\n"
              "GUI script: \n");
    // Nothing is created or bound, so unloading the plug-in must not call into the host.
    EXPECT_EQ(result.transcript, concat({infoCalls, {R"({"plugin":"unload"})"}}));
    EXPECT_EQ(result.status, 0);
}

TEST_F(Host, PluginThatCannotBeLoadedExitsTwo) {
    const HostRun result = run({"--plugin", (dir / "libMissing.so").string(), "run"});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(lastLine(result.err), "0 converted, 0 not converted");
    EXPECT_EQ(result.out, "");
}

TEST(PluginLibrary, ExportsExactlyTheSevenEntryPoints) {
    const std::string command = "nm -D --defined-only " + quoted(binDir + "/libVocelle.so");
    std::FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string text;
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) text.append(chunk, n);
    ASSERT_EQ(pclose(pipe), 0) << text;

    std::set<std::string> names;
    for (const auto& line : splitLines(text)) {
        const auto space = line.find_last_of(' ');
        if (!line.empty()) names.insert(line.substr(space + 1));
    }
    EXPECT_EQ(names, (std::set<std::string>{"createPlugin", "getPluginName", "getPluginDescription", "getAuthor",
                                            "getHelpFile", "getPluginVersion", "getGUIScript"}));
}

} // namespace
