// The host's commands, in the order of the help. A command is one file under host/commands/ and
// one name here.

#include <vocelle/host/command.h>

namespace vocelle {

namespace commands {
extern const Command run, info, convert, print, preview, exportNifti, importNifti, stats,
    timecourse, glm, split, gather;
} // namespace commands

const ExitStatuses doneOrFailed = {
    {0, "done"}, {2, "a file could not be read or written, or the command line was wrong"}};

const std::vector<const Command*>& commandTable() {
    static const std::vector<const Command*> table = {
        &commands::run,     &commands::info,        &commands::convert,     &commands::print,
        &commands::preview, &commands::exportNifti, &commands::importNifti, &commands::stats,
        &commands::timecourse, &commands::glm, &commands::split, &commands::gather};
    return table;
}

} // namespace vocelle
