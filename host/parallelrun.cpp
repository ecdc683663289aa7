#include <vocelle/host/parallelrun.h>

#include <vocelle/host/joblistsplit.h>
#include <vocelle/host/logrecords.h>
#include <vocelle/host/session.h>
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

namespace vocelle {

namespace {

// Set by an interrupt (Ctrl-C) or termination: the run stops its workers, then ends by the same
// signal.
volatile std::sig_atomic_t stopSignal = 0;
void onStopSignal(int signal) {
    stopSignal = signal;
}

// Catches interrupts and terminations while it lives, then puts back what was there before.
class StopSignals {
  public:
    StopSignals() {
        // Without SA_RESTART, so a signal ends the wait in poll at once.
        struct sigaction stop {};
        stop.sa_handler = onStopSignal;
        sigemptyset(&stop.sa_mask);
        sigaction(SIGINT, &stop, &previousInterrupt);
        sigaction(SIGTERM, &stop, &previousTerminate);
        // A signal ignored by whoever started us (nohup, a background job) stays ignored.
        if (previousInterrupt.sa_handler == SIG_IGN) sigaction(SIGINT, &previousInterrupt, nullptr);
        if (previousTerminate.sa_handler == SIG_IGN)
            sigaction(SIGTERM, &previousTerminate, nullptr);
    }
    ~StopSignals() { restore(); }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    void restore() {
        sigaction(SIGINT, &previousInterrupt, nullptr);
        sigaction(SIGTERM, &previousTerminate, nullptr);
    }

  private:
    struct sigaction previousInterrupt {};
    struct sigaction previousTerminate {};
};

struct Worker {
    std::size_t part = 0;
    std::vector<std::string> rois;
    FileDescriptor partFile;  // its part of the list, in memory
    FileDescriptor errorFile; // its standard error, in memory
    pid_t pid = -1;
    int output = -1;                  // read end of the worker's standard output
    std::string pending;              // bytes of a record not yet complete
    std::vector<std::string> records; // complete log entries not yet printed
    bool finished = false;            // its output has ended
    int printed = 0;                  // entries of this part already printed or dropped
    RunOutcome reported;              // what its entries said so far, for the progress line
};

std::string startText() {
    return std::string("\n") + logtexts::displayName + logtexts::running;
}
std::string finishText() {
    return std::string(logtexts::displayName) + logtexts::finished;
}

std::string versionText(const int version[3]) {
    return std::to_string(version[0]) + "." + std::to_string(version[1]) + "." +
           std::to_string(version[2]);
}

// The list in as many parts as processes are worth starting; false when it is better run in
// this process alone.
bool cutIntoParts(int jobs, const std::string& listText, JobListParts& split) {
    split = splitJobList(listText, 1);
    if (!split.error.empty() || split.jobCount < 2) return false;
    split = splitJobList(listText, std::min(jobs, split.jobCount));
    return split.error.empty();
}

// Runs `vocelle run --worker PART` with its standard output on a pipe and its standard error in
// a file; false when no process could be started.
bool startWorker(Worker& worker) {
    const HostSettings& settings = session.settings;
    int fds[2];
    if (pipe(fds) != 0) return false;
    std::vector<std::string> arguments = {"vocelle",
                                          "--plugin",
                                          settings.pluginPath,
                                          "--host-version",
                                          versionText(settings.version),
                                          "run",
                                          "--worker",
                                          worker.partFile.path()};
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(&argument[0]);
    argv.push_back(nullptr);

    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = fork();
    if (pid == 0) {
        // Its part stays open across exec, under the number its name gives.
        if (fcntl(worker.partFile.get(), F_SETFD, 0) == -1 || dup2(fds[1], STDOUT_FILENO) == -1 ||
            dup2(worker.errorFile.get(), STDERR_FILENO) == -1)
            _exit(127);
        close(fds[0]);
        close(fds[1]);
        execv(settings.program.c_str(), argv.data());
        _exit(127);
    }
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return false;
    }
    worker.pid = pid;
    worker.output = fds[0];
    return true;
}

class ParallelRun {
  public:
    // Keeps each part, and room for its process's errors, in memory; false when one cannot be
    // made.
    bool keepParts(const JobListParts& split) {
        workers.resize(split.parts.size());
        for (std::size_t part = 0; part < workers.size(); ++part) {
            Worker& worker = workers[part];
            worker.part = part;
            worker.rois = split.roiNames[part];
            worker.partFile = memoryFile(split.parts[part]);
            worker.errorFile = memoryFile(std::string());
            if (!worker.partFile || !worker.errorFile) return false;
        }
        return true;
    }

    // Starts a process for each part; false when one could not be started (its part is then
    // left out, and the run fails).
    bool start() {
        bool started = true;
        for (std::size_t part = 0; part < workers.size(); ++part) {
            Worker& worker = workers[part];
            if (startWorker(worker)) continue;
            std::fprintf(stderr, "vocelle: cannot start a process for part %zu: %s\n", part + 1,
                         std::strerror(errno));
            worker.finished = true;
            started = false;
        }
        showProgress();
        return started;
    }

    // Reads and prints the workers' log entries until every output has ended or a stop signal came.
    void collect() {
        for (;;) {
            std::vector<pollfd> watched;
            std::vector<Worker*> owners;
            for (Worker& worker : workers)
                if (!worker.finished) {
                    watched.push_back({worker.output, POLLIN, 0});
                    owners.push_back(&worker);
                }
            if (watched.empty() || stopSignal != 0) return;
            if (poll(watched.data(), watched.size(), -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            for (std::size_t w = 0; w < watched.size(); ++w)
                if (watched[w].revents != 0) readFrom(*owners[w]);
            printReady();
            showProgress();
        }
    }

    // Prints what the front parts have to print, in list order. A part's closing entries (the
    // plug-in's closing line and whatever it logs while being unloaded) are printed only for the
    // last part, and its start line only for the first, so they appear once as in a single run.
    void printReady() {
        while (head < workers.size()) {
            Worker& worker = workers[head];
            const bool lastPart = head + 1 == workers.size();
            std::size_t printable = worker.records.size();
            if (!(worker.finished && lastPart))
                printable = std::size_t(
                    std::find(worker.records.begin(), worker.records.end(), finishText()) -
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

    void stopWorkers() {
        for (Worker& worker : workers)
            if (worker.pid > 0) {
                kill(worker.pid, SIGTERM);
                waitpid(worker.pid, nullptr, 0);
            }
    }

    // Waits for every worker and forwards their message boxes and errors, each distinct text
    // once, in part order; false when a worker ended by a signal or with a failed start. Jobs of
    // a part that logged no outcome for them (its process was killed or never started) count
    // as not converted, as the report lists them as failed.
    bool reap() {
        bool succeeded = true;
        std::vector<std::string> forwarded;
        for (std::size_t part = 0; part < workers.size(); ++part) {
            Worker& worker = workers[part];
            session.outcome.withoutOutcome(int(worker.rois.size()) - worker.reported.jobsDone());
            if (worker.pid < 0) continue;
            int status = 0;
            while (waitpid(worker.pid, &status, 0) < 0 && errno == EINTR) {
            }
            std::string text, unreadable;
            readWholeFile(worker.errorFile.path(), text, unreadable);
            if (!text.empty() &&
                std::find(forwarded.begin(), forwarded.end(), text) == forwarded.end()) {
                std::fputs(text.c_str(), stderr);
                forwarded.push_back(text);
            }
            if (WIFSIGNALED(status)) {
                std::fprintf(
                    stderr,
                    "vocelle: the process for part %zu (%zu jobs) was stopped by signal %d\n",
                    part + 1, worker.rois.size(), WTERMSIG(status));
                succeeded = false;
            } else if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) {
                succeeded = false;
            }
        }
        return succeeded;
    }

  private:
    void readFrom(Worker& worker) {
        char bytes[65536];
        const ssize_t got = read(worker.output, bytes, sizeof bytes);
        if (got < 0 && errno == EINTR) return;
        if (got <= 0) {
            worker.finished = true;
            close(worker.output);
            return;
        }
        worker.pending.append(bytes, std::size_t(got));
        for (auto& text : readLogRecords(worker.pending)) {
            worker.reported.logEntry(text);
            if (!session.reports.empty()) session.reports[worker.part].logEntry(text);
            worker.records.push_back(std::move(text));
        }
    }

    void showProgress() {
        if (!session.progress.active()) return;
        int done = 0;
        std::vector<std::string> current;
        for (const Worker& worker : workers) {
            const int reported = worker.reported.jobsDone();
            done += reported;
            if (!worker.finished && std::size_t(reported) < worker.rois.size())
                current.push_back(worker.rois[std::size_t(reported)]);
        }
        session.progress.show(done, current);
    }

    std::vector<Worker> workers;
    std::size_t head = 0; // the first part not yet printed to its end
};

} // namespace

int runInParallel(const std::string& listText, int jobs, bool report) {
    JobListParts split;
    if (!cutIntoParts(jobs, listText, split)) return -1;
    ParallelRun run;
    if (!run.keepParts(split)) return -1;
    if (report)
        for (const std::string& part : split.parts)
            session.reports.emplace_back(part);
    if (errorIsTerminal()) session.progress.start(split.jobCount);

    StopSignals signals;
    const bool started = run.start();
    run.collect();
    if (stopSignal != 0) {
        session.progress.stop();
        run.stopWorkers();
        signals.restore();
        std::signal(stopSignal, SIG_DFL);
        std::raise(stopSignal);
        session.outcome.startFailed();
        return session.outcome.exitStatus();
    }
    signals.restore();
    run.printReady();
    session.progress.stop();

    const bool reaped = run.reap();
    if (!started || !reaped) session.outcome.startFailed();
    return session.outcome.exitStatus();
}

} // namespace vocelle
