#pragma once
// A command of the host, as one row of the command table.
//
// Each command is one file under host/commands/: its options (a small struct of its own), how
// they are declared on the command line, the files it reads and writes, its exit statuses and its
// body. The file ends with its row:
//
//     const Command stats = makeCommand<StatsOptions>(
//         {"stats", "Print a table ...", doneOrFailed, declareStats, statsFiles, runStats});
//
// and host/commandtable.cpp lists the rows. Before a body runs, the files its command line names
// are checked (host/filecheck.h). A body that cannot do its work throws, a FaultError when a file
// is concerned; the one place that runs commands prints it as one line and exits with status 2.

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace CLI {
class App;
}

namespace vocelle {

// What an output must be: the ending of its name, and whether it is text, which `-` (standard
// output) may stand for.
enum class FileKind { Any, Voi, Png, Nifti, Tsv };

struct Output {
    Output(std::string path, FileKind kind = FileKind::Any) : path(std::move(path)), kind(kind) {}
    Output(const char* path) : path(path) {}
    std::string path; // empty when not asked for
    FileKind kind = FileKind::Any;
};

// The files a command reads and those it writes, as its command line names them. The host
// checks them before the command runs (host/filecheck.h).
struct CommandFiles {
    CommandFiles(std::vector<std::string> inputs = {}, std::vector<Output> outputs = {})
        : inputs(std::move(inputs)), outputs(std::move(outputs)) {}
    std::vector<std::string> inputs;
    std::vector<Output> outputs;
    std::vector<std::string> written;     // what the plug-in writes for the command: its jobs' VOIs
    std::vector<std::string> madeFolders; // folders the command makes when missing
};

struct ExitStatus {
    int code;
    const char* meaning;
};
using ExitStatuses = std::vector<ExitStatus>;

// The statuses of a command that either does its work or fails.
extern const ExitStatuses doneOrFailed;

// A command with its options parsed, ready to run.
class ParsedCommand {
  public:
    virtual ~ParsedCommand() = default;
    virtual CommandFiles files() const = 0;
    // The exit status.
    virtual int run() const = 0;
};

struct Command {
    const char* name;
    const char* summary; // what it does, for --help
    const ExitStatuses* exitStatuses;
    bool drivesPlugin; // takes the plug-in's options: --plugin, --host-version, --transcript
    // Declares the command's arguments and options on `command`; what it returns holds their
    // values once the command line is parsed.
    std::function<std::shared_ptr<ParsedCommand>(CLI::App& command)> declare;
};

template <typename Options> struct CommandDefinition {
    const char* name;
    const char* summary;
    const ExitStatuses& exitStatuses;
    void (*declare)(CLI::App& command, Options& options);
    CommandFiles (*files)(const Options& options);
    int (*run)(const Options& options);
    bool drivesPlugin = false;
};

template <typename Options> Command makeCommand(const CommandDefinition<Options>& definition) {
    struct Parsed : ParsedCommand {
        Options options;
        CommandFiles (*filesOf)(const Options&) = nullptr;
        int (*body)(const Options&) = nullptr;
        CommandFiles files() const override { return filesOf(options); }
        int run() const override { return body(options); }
    };
    const auto declare = definition.declare;
    const auto files = definition.files;
    const auto run = definition.run;
    return {definition.name, definition.summary, &definition.exitStatuses, definition.drivesPlugin,
            [declare, files, run](CLI::App& command) {
                auto parsed = std::make_shared<Parsed>();
                parsed->filesOf = files;
                parsed->body = run;
                declare(command, parsed->options);
                return std::shared_ptr<ParsedCommand>(parsed);
            }};
}

// Every command, in the order of the help.
const std::vector<const Command*>& commandTable();

} // namespace vocelle
