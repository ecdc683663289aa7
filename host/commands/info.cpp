// vocelle info: the plug-in's six information texts.

#include <vocelle/host/command.h>
#include <vocelle/host/plugindriver.h>
#include <vocelle/host/session.h>

#include <CLI/CLI.hpp>

namespace vocelle {

namespace {

struct InfoOptions {};

void declare(CLI::App&, InfoOptions&) {}

CommandFiles files(const InfoOptions&) {
    return {{}, {session.settings.transcriptPath}};
}

int execute(const InfoOptions&) {
    openTranscript();
    const int status = drivePlugin(Drive::InfoOnly);
    return closeTranscript() ? status : 2;
}

const ExitStatuses statuses = {
    {0, "printed"},
    {2, "the plug-in could not be loaded, the transcript could not be written, or the command line "
        "was wrong"}};

} // namespace

namespace commands {

extern const Command info = makeCommand<InfoOptions>(
    {"info",
     "Print the plug-in's name, description, author, help file, version and GUI script, one per "
     "line.",
     statuses, declare, files, execute, true});

} // namespace commands

} // namespace vocelle
