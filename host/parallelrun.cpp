#include <vocelle/host/parallelrun.h>

#include <vocelle/host/hostfunctions.h>
#include <vocelle/host/joblistsplit.h>
#include <vocelle/host/logrecords.h>
#include <vocelle/plugin/logtexts.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vocelle {

namespace {

namespace fs = std::filesystem;

// Set by an interrupt (Ctrl-C) or termination: the run stops its workers, removes its folder,
// then ends by the same signal.
volatile std::sig_atomic_t stopSignal = 0;
void onStopSignal(int signal) { stopSignal = signal; }

struct Worker {
    pid_t pid = -1;
    int output = -1;                  // read end of the worker's standard output
    std::string pending;              // bytes of a record not yet complete
    std::vector<std::string> records; // complete log entries not yet printed
    bool finished = false;            // its output has ended
    int printed = 0;                  // entries of this part already printed or dropped
    int done = 0;                     // jobs it reported on
    std::vector<std::string> rois;
    fs::path errorFile;
};

std::string startText() { return std::string("\n") + logtexts::displayName + logtexts::running; }
std::string finishText() { return std::string(logtexts::displayName) + logtexts::finished; }

bool reportsOnAJob(const std::string& text) {
    const auto startsWith = [&](const char* prefix) { return text.rfind(prefix, 0) == 0; };
    return startsWith(logtexts::converted) || startsWith(logtexts::notEnoughFiles) ||
           startsWith(logtexts::conversionFailed);
}

std::string versionText(const int version[3]) {
    return std::to_string(version[0]) + "." + std::to_string(version[1]) + "." + std::to_string(version[2]);
}

pid_t startWorker(const std::string& selfPath, const fs::path& partFile, const fs::path& errorFile, int& output) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    const HostOptions& options = session.options;
    std::vector<std::string> arguments = {"vocelle", "--worker"};
    if (!options.pluginPath.empty()) arguments.insert(arguments.end(), {"--plugin", options.pluginPath});
    arguments.insert(arguments.end(), {"--host-version", versionText(options.version), "run", partFile.string()});
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(&argument[0]);
    argv.push_back(nullptr);

    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int error = open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (error < 0 || dup2(fds[1], STDOUT_FILENO) < 0 || dup2(error, STDERR_FILENO) < 0) _exit(127);
        close(fds[0]);
        close(fds[1]);
        close(error);
        execv(selfPath.c_str(), argv.data());
        _exit(127);
    }
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return -1;
    }
    output = fds[0];
    return pid;
}

class ParallelRun {
public:
    explicit ParallelRun(std::vector<Worker>& workers) : workers(workers) {}

    // Prints what the front parts have to print, in list order. A part's closing entries (the
    // plug-in's closing line and whatever it logs while being unloaded) are printed only for the
    // last part, and its start line only for the first, so they appear once as in a single run.
    void printReady() {
        while (head < workers.size()) {
            Worker& worker = workers[head];
            const bool lastPart = head + 1 == workers.size();
            std::size_t printable = worker.records.size();
            if (!(worker.finished && lastPart))
                printable = std::size_t(std::find(worker.records.begin(), worker.records.end(), finishText()) -
                                        worker.records.begin());
            for (std::size_t i = std::size_t(worker.printed); i < printable; ++i) {
                const std::string& text = worker.records[i];
                if (!(i == 0 && head > 0 && text == startText())) printLogEntry(text.c_str());
            }
            worker.printed = int(printable);
            if (!worker.finished) return;
            worker.records.clear();
            ++head;
        }
    }

    void showProgress() {
        if (!session.progress.active()) return;
        int done = 0;
        std::vector<std::string> current;
        for (const Worker& worker : workers) {
            done += worker.done;
            if (!worker.finished && std::size_t(worker.done) < worker.rois.size())
                current.push_back(worker.rois[std::size_t(worker.done)]);
        }
        session.progress.show(done, current);
    }

private:
    std::vector<Worker>& workers;
    std::size_t head = 0;
};

} // namespace

int runInParallel(const std::string& selfPath) {
    const HostOptions& options = session.options;
    if (options.jobList.empty()) return -1;
    JobListParts split = splitJobListFile(options.jobList, 1);
    if (!split.error.empty() || split.jobCount < 2) return -1;
    const int count = std::min(options.jobs, split.jobCount);
    split = splitJobListFile(options.jobList, count);
    if (!split.error.empty()) return -1;

    // The parts live in a private folder that goes when the run ends.
    std::string pattern = (fs::temp_directory_path() / "vocelle-jobs-XXXXXX").string();
    if (mkdtemp(&pattern[0]) == nullptr) return -1;
    const fs::path folder = pattern;
    struct RemoveFolder {
        fs::path folder;
        ~RemoveFolder() {
            std::error_code ignored;
            fs::remove_all(folder, ignored);
        }
    } removeFolder{folder};

    std::vector<Worker> workers(static_cast<std::size_t>(count));
    for (int part = 0; part < count; ++part) {
        Worker& worker = workers[std::size_t(part)];
        const fs::path partFile = folder / ("part" + std::to_string(part + 1) + ".txt");
        std::ofstream out(partFile, std::ios::binary);
        out << split.parts[std::size_t(part)];
        out.close();
        if (!out) return -1;
        worker.rois = split.roiNames[std::size_t(part)];
        worker.errorFile = folder / ("part" + std::to_string(part + 1) + ".err");
    }

    int total = 0;
    for (const Worker& worker : workers) total += int(worker.rois.size());
    if (outputIsTerminal()) session.progress.start(total);

    // Installed without SA_RESTART, so a signal ends the wait in poll at once.
    struct sigaction stop{}, previousInterrupt{}, previousTerminate{};
    stop.sa_handler = onStopSignal;
    sigemptyset(&stop.sa_mask);
    sigaction(SIGINT, &stop, &previousInterrupt);
    sigaction(SIGTERM, &stop, &previousTerminate);
    // A signal ignored by whoever started us (nohup, a background job) stays ignored.
    if (previousInterrupt.sa_handler == SIG_IGN) sigaction(SIGINT, &previousInterrupt, nullptr);
    if (previousTerminate.sa_handler == SIG_IGN) sigaction(SIGTERM, &previousTerminate, nullptr);

    ParallelRun run(workers);
    bool failed = false;
    for (int part = 0; part < count; ++part) {
        Worker& worker = workers[std::size_t(part)];
        const fs::path partFile = folder / ("part" + std::to_string(part + 1) + ".txt");
        worker.pid = startWorker(selfPath, partFile, worker.errorFile, worker.output);
        if (worker.pid < 0) {
            std::fprintf(stderr, "vocelle: cannot start a process for part %d: %s\n", part + 1, std::strerror(errno));
            worker.finished = true;
            failed = true;
        }
    }
    run.showProgress();

    for (;;) {
        std::vector<pollfd> watched;
        std::vector<std::size_t> owners;
        for (std::size_t i = 0; i < workers.size(); ++i)
            if (!workers[i].finished) {
                watched.push_back({workers[i].output, POLLIN, 0});
                owners.push_back(i);
            }
        if (watched.empty()) break;
        if (stopSignal != 0) break;
        if (poll(watched.data(), watched.size(), -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (std::size_t w = 0; w < watched.size(); ++w) {
            if (watched[w].revents == 0) continue;
            Worker& worker = workers[owners[w]];
            char bytes[65536];
            const ssize_t got = read(worker.output, bytes, sizeof bytes);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                worker.finished = true;
                close(worker.output);
                continue;
            }
            worker.pending.append(bytes, std::size_t(got));
            for (auto& text : readLogRecords(worker.pending)) {
                if (reportsOnAJob(text)) ++worker.done;
                worker.records.push_back(std::move(text));
            }
        }
        run.printReady();
        run.showProgress();
    }
    if (stopSignal != 0) {
        session.progress.stop();
        for (Worker& worker : workers)
            if (worker.pid > 0) {
                kill(worker.pid, SIGTERM);
                waitpid(worker.pid, nullptr, 0);
            }
        std::error_code ignored;
        fs::remove_all(folder, ignored);
        sigaction(SIGINT, &previousInterrupt, nullptr);
        sigaction(SIGTERM, &previousTerminate, nullptr);
        std::signal(stopSignal, SIG_DFL);
        std::raise(stopSignal);
        return 2;
    }
    sigaction(SIGINT, &previousInterrupt, nullptr);
    sigaction(SIGTERM, &previousTerminate, nullptr);
    run.printReady();
    session.progress.stop();

    // Message boxes and errors of the workers, each distinct text once, in part order.
    std::vector<std::string> forwarded;
    for (std::size_t part = 0; part < workers.size(); ++part) {
        Worker& worker = workers[part];
        if (worker.pid < 0) continue;
        int status = 0;
        while (waitpid(worker.pid, &status, 0) < 0 && errno == EINTR) {
        }
        std::ifstream in(worker.errorFile, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        if (!text.str().empty() && std::find(forwarded.begin(), forwarded.end(), text.str()) == forwarded.end()) {
            std::fputs(text.str().c_str(), stderr);
            forwarded.push_back(text.str());
        }
        if (WIFSIGNALED(status)) {
            std::fprintf(stderr, "vocelle: the process for part %zu (%zu jobs) was stopped by signal %d\n", part + 1,
                         worker.rois.size(), WTERMSIG(status));
            failed = true;
        } else if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) {
            failed = true;
        }
    }
    if (failed) session.outcome.startFailed();
    return session.outcome.exitStatus();
}

} // namespace vocelle
