#include <vocelle/host/commandline.h>

#include <vocelle/host/command.h>
#include <vocelle/host/commandoptions.h>
#include <vocelle/host/filecheck.h>
#include <vocelle/host/session.h>
#include <vocelle/text/fault.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <map>
#include <sstream>

namespace vocelle {

namespace {

// "X.Y.Z" with three non-negative decimal numbers; false leaves version untouched.
bool parseVersion(const std::string& text, int version[3]) {
    int parsed[3];
    std::size_t start = 0;
    for (int part = 0; part < 3; ++part) {
        const std::size_t end = part < 2 ? text.find('.', start) : text.size();
        if (end == std::string::npos || end == start || end - start > 9) return false;
        for (std::size_t i = start; i < end; ++i)
            if (text[i] < '0' || text[i] > '9') return false;
        parsed[part] = std::atoi(text.substr(start, end - start).c_str());
        start = end + 1;
    }
    for (int part = 0; part < 3; ++part)
        version[part] = parsed[part];
    return true;
}

const char* const intro =
    "Command-line host for the Vocelle plug-in. It loads the plug-in, queries its six "
    "information functions, creates it, initialises it, runs it when initialisation succeeded, "
    "destroys it and unloads it, just as the desktop host does.";

// Options of the whole program; they are taken before or after the command name.
void declarePluginOptions(CLI::App& app, HostSettings& settings) {
    app.add_option("--plugin", settings.pluginPath,
                   "Plug-in library to load (default: libVocelle.so beside this program, or in "
                   "the installed plug-in folder).")
        ->type_name("PATH");
    app.add_option_function<std::string>(
           "--host-version",
           [&settings](const std::string& text) {
               if (!parseVersion(text, settings.version))
                   throw CLI::ValidationError("--host-version",
                                              "wants X.Y.Z, got \"" + text + "\"");
           },
           "Version the host reports to the plug-in (default: 2.8.0). The plug-in needs 2.8.0 or "
           "later.")
        ->type_name("X.Y.Z");
    app.add_option(
           "--transcript", settings.transcriptPath,
           "Write every call between host and plug-in to FILE, one JSON object per line, with "
           "exact arguments (texts as JSON strings; bytes that are not UTF-8 appear as "
           "\\u0080-\\u00ff). Host functions called by the plug-in have a \"call\" key, calls "
           "the host makes into the plug-in a \"plugin\" key. The file shows the whole transcript "
           "when the command ends; - (standard output), a pipe or a device gets each line as it "
           "comes.")
        ->type_name("FILE")
        ->check(fileName());
}

const Command* commandNamed(const std::string& name) {
    for (const Command* command : commandTable())
        if (name == command->name) return command;
    return nullptr;
}

// The help texts are read off the declared commands and options.

constexpr std::size_t helpWidth = 100;

std::vector<std::string> wordsOf(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

// Appends the words, blank-separated, as lines of at most helpWidth columns: the first line
// starts with `first`, the others with `indent` blanks.
void appendWrapped(std::string& out, const std::string& first,
                   const std::vector<std::string>& words, std::size_t indent) {
    std::string line = first;
    std::size_t start = line.size();
    for (const std::string& word : words) {
        if (line.size() > start && line.size() + 1 + word.size() > helpWidth) {
            out += line + "\n";
            line = std::string(indent, ' ');
            start = indent;
        }
        line += (line.size() > start ? " " : "") + word;
    }
    out += line + "\n";
}

// A row of a list: the term, then its description from column `column` on (below the term when
// the term reaches that column).
void appendRow(std::string& out, const std::string& term, const std::string& description,
               std::size_t column) {
    std::string first = term;
    if (first.size() + 2 > column) {
        out += first + "\n";
        first.clear();
    }
    appendWrapped(out, first + std::string(column - first.size(), ' '), wordsOf(description),
                  column);
}

// The options a help lists: not hidden, and not --help or --version, which it mentions itself.
std::vector<const CLI::Option*> listedOptions(const CLI::App& app) {
    return app.get_options([&](const CLI::Option* option) {
        return !option->get_group().empty() && option != app.get_help_ptr() &&
               option != app.get_version_ptr();
    });
}

bool takesValue(const CLI::Option& option) {
    return option.get_expected_max() > 0;
}

// "[-o FILE.png]", "JOBLIST"
std::string usageItem(const CLI::Option& option) {
    std::string item;
    if (option.get_positional())
        item = option.get_name(true);
    else
        item = option.get_snames().empty() ? "--" + option.get_lnames()[0]
                                           : "-" + option.get_snames()[0];
    if (!option.get_positional() && takesValue(option)) item += " " + option.get_type_name();
    return option.get_required() ? item : "[" + item + "]";
}

// "-o, --output FILE.png", "JOBLIST"
std::string optionNames(const CLI::Option& option) {
    if (option.get_positional()) return option.get_name(true);
    std::string names;
    for (const auto& name : option.get_snames())
        names += (names.empty() ? "-" : ", -") + name;
    for (const auto& name : option.get_lnames())
        names += (names.empty() ? "--" : ", --") + name;
    return takesValue(option) ? names + " " + option.get_type_name() : names;
}

void appendOptions(std::string& out, const CLI::App& app, std::size_t indent) {
    for (const CLI::Option* option : listedOptions(app))
        appendRow(out, std::string(indent, ' ') + optionNames(*option), option->get_description(),
                  indent + 24);
}

void appendUsage(std::string& out, const std::string& lead, const CLI::App& command) {
    std::vector<std::string> items = {"vocelle", command.get_name()};
    for (const CLI::Option* option : listedOptions(command))
        items.push_back(usageItem(*option));
    appendWrapped(out, lead, items, lead.size() + 8);
}

// "run and info"
std::string pluginCommandNames() {
    std::string names;
    for (const Command* command : commandTable())
        if (command->drivesPlugin)
            names += std::string(names.empty() ? "" : " and ") + command->name;
    return names;
}

void appendPluginOptions(std::string& out, const CLI::App& app) {
    out += "\nOptions of " + pluginCommandNames() + ", before or after the command name:\n";
    appendOptions(out, app, 2);
}

void appendStatuses(std::string& out, const ExitStatuses& statuses, std::size_t indent) {
    for (const ExitStatus& status : statuses)
        appendRow(out, std::string(indent, ' ') + std::to_string(status.code), status.meaning,
                  indent + 3);
}

// Each command's statuses, commands that share them named together.
void appendExitStatuses(std::string& out) {
    out += "\nExit status:\n";
    std::vector<const ExitStatuses*> done;
    for (const Command* command : commandTable()) {
        if (std::find(done.begin(), done.end(), command->exitStatuses) != done.end()) continue;
        done.push_back(command->exitStatuses);
        std::string names;
        for (const Command* other : commandTable())
            if (other->exitStatuses == command->exitStatuses)
                names += std::string(names.empty() ? "" : ", ") + other->name;
        appendWrapped(out, "  ", wordsOf(names + ":"), 4);
        appendStatuses(out, *command->exitStatuses, 4);
    }
}

std::string programHelp(const CLI::App& app) {
    std::string out = "Usage: vocelle COMMAND [ARGUMENTS AND OPTIONS]\n"
                      "       vocelle COMMAND --help\n"
                      "       vocelle --help | --version\n\n";
    appendWrapped(out, "", wordsOf(intro), 0);
    out += "\nCommands:\n";
    for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; })) {
        out += "\n";
        appendUsage(out, "  ", *command);
        appendWrapped(out, "    ", wordsOf(command->get_description()), 4);
        // A blank line keeps the option rows apart from the text, in the manual page too.
        if (!listedOptions(*command).empty()) out += "\n";
        appendOptions(out, *command, 4);
    }
    appendPluginOptions(out, app);
    out += "\nOther options:\n";
    appendRow(out, "  -h, --help", "Show this text; after a command name, that command's.", 26);
    appendRow(out, "  --version", "Print the version of vocelle and of its plug-in.", 26);
    appendExitStatuses(out);
    return out;
}

std::string commandHelp(const CLI::App& command) {
    std::string out;
    appendUsage(out, "Usage: ", command);
    out += "\n";
    appendWrapped(out, "", wordsOf(command.get_description()), 0);
    if (!listedOptions(command).empty()) {
        out += "\nArguments and options:\n";
        appendOptions(out, command, 2);
    }
    const Command* entry = commandNamed(command.get_name());
    if (entry->drivesPlugin) appendPluginOptions(out, *command.get_parent());
    out += "\nExit status:\n";
    appendStatuses(out, *entry->exitStatuses, 2);
    return out;
}

std::string help(const CLI::App* app, const std::string&, CLI::AppFormatMode) {
    return app->get_parent() == nullptr ? programHelp(*app) : commandHelp(*app);
}

// "vocelle 1.4.0" and the version the plug-in to be loaded reports.
std::string versionText(const HostSettings& settings) {
    std::string text = std::string("vocelle ") + VOCELLE_VERSION + "\n";
    void* library = dlopen(settings.pluginPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    const auto version =
        library == nullptr
            ? nullptr
            : reinterpret_cast<const char* (*)()>(dlsym(library, "getPluginVersion"));
    const char* plugin = version != nullptr ? version() : nullptr;
    text += "plug-in " + (plugin != nullptr ? std::string(plugin) : std::string("not found")) +
            " (" + settings.pluginPath + ")\n";
    if (library != nullptr) dlclose(library);
    return text;
}

// What is wrong with a word that neither the command nor the program took.
std::string leftOverError(const CLI::App* command, const std::string& word) {
    const bool option = word.size() > 1 && word[0] == '-';
    if (command == nullptr) {
        if (option) return "unknown option " + word;
        return "unknown command " + word;
    }
    if (!option) return "unexpected argument " + word;
    if (command->get_option_no_throw(word) != nullptr) return word + " goes after the command name";
    return "unknown option " + word;
}

// While an output is `-`, standard output is kept for it alone: what the command would print
// there goes to standard error.
class StandardOutputKept {
  public:
    explicit StandardOutputKept(const CommandFiles& files) {
        for (const Output& output : files.outputs)
            if (output.path == "-" && session.standardOutput < 0) {
                std::cout.flush();
                std::fflush(stdout);
                session.standardOutput = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
                if (session.standardOutput >= 0) ::dup2(STDERR_FILENO, STDOUT_FILENO);
            }
    }
    ~StandardOutputKept() {
        if (session.standardOutput < 0) return;
        std::cout.flush();
        std::fflush(stdout);
        ::dup2(session.standardOutput, STDOUT_FILENO);
        ::close(session.standardOutput);
        session.standardOutput = -1;
    }
    StandardOutputKept(const StandardOutputKept&) = delete;
    StandardOutputKept& operator=(const StandardOutputKept&) = delete;
};

} // namespace

ParsedArguments parseHostArguments(const std::vector<std::string>& arguments,
                                   const HostSettings& defaults) {
    ParsedArguments result;
    session.settings = defaults;

    CLI::App app;
    app.formatter_fn(help);
    app.set_help_flag("-h,--help");
    app.set_version_flag("--version", std::string());
    declarePluginOptions(app, session.settings);
    std::map<std::string, std::shared_ptr<ParsedCommand>> declared;
    for (const Command* command : commandTable()) {
        CLI::App* sub = app.add_subcommand(command->name, command->summary);
        sub->fallthrough();
        declared[command->name] = command->declare(*sub);
    }
    app.require_subcommand(0, 1);
    // Set once the commands are there, which would take it over: words that nothing takes are
    // reported by name below.
    app.allow_extras();

    const auto chosen = [&]() -> const CLI::App* {
        const auto selected = app.get_subcommands();
        return selected.empty() ? nullptr : selected.front();
    };
    const auto withHint = [&](const std::string& problem) {
        if (chosen() == nullptr) return problem + " (see vocelle --help)";
        const std::string name = chosen()->get_name();
        return name + ": " + problem + " (see vocelle " + name + " --help)";
    };
    try {
        std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
        app.parse(reversed);
    } catch (const CLI::CallForVersion&) {
        result.text = versionText(session.settings);
        return result;
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0)
            result.text = app.help();
        else
            result.error = withHint(error.what());
        return result;
    }

    const std::vector<std::string> left = app.remaining();
    if (chosen() == nullptr && left.empty()) {
        result.error = withHint("no command given");
        return result;
    }
    if (!left.empty()) {
        result.error = withHint(leftOverError(chosen(), left.front()));
        return result;
    }
    const Command* command = commandNamed(chosen()->get_name());
    if (!command->drivesPlugin)
        for (const CLI::Option* option : listedOptions(app))
            if (option->count() > 0) {
                result.error =
                    withHint(option->get_name() + " applies to " + pluginCommandNames() + " only");
                return result;
            }
    result.command = command;
    result.parsed = declared.at(command->name);
    return result;
}

int runHostCommand(const std::vector<std::string>& arguments, const HostSettings& defaults) {
    const ParsedArguments parsed = parseHostArguments(arguments, defaults);
    const auto fail = [](const std::string& message) {
        std::fprintf(stderr, "vocelle: %s\n", message.c_str());
        return 2;
    };
    if (!parsed.error.empty()) return fail(parsed.error);
    if (parsed.command == nullptr) {
        std::fputs(parsed.text.c_str(), stdout);
        return 0;
    }
    // The one place a command's files are checked and its failure is reported: one line,
    // status 2.
    try {
        const CommandFiles files = parsed.parsed->files();
        checkCommandFiles(files);
        const StandardOutputKept kept(files);
        return parsed.parsed->run();
    } catch (const FaultError& error) {
        return fail(error.fault().line());
    } catch (const std::exception& error) {
        return fail(error.what());
    }
}

} // namespace vocelle
