#pragma once
// Option declarations that several commands share, so they are named and described alike.

#include <CLI/CLI.hpp>

#include <string>

namespace vocelle {

// A whole number from 1 to limit. Without a description, so the help shows the value's name alone.
inline CLI::Validator oneTo(int limit) {
    CLI::Validator range = CLI::Range(1, limit);
    range.description("");
    return range;
}

// A file's name: the empty one names none, and is refused rather than passed over.
inline CLI::Validator fileName() {
    return CLI::Validator(
        [](std::string& name) {
            return name.empty() ? std::string("names no file") : std::string();
        },
        "");
}

// An option naming a file, shown in the help as `value`.
inline CLI::Option* fileOption(CLI::App& command, const char* names, std::string& field,
                               const char* value, const char* help) {
    return command.add_option(names, field, help)->type_name(value)->check(fileName());
}

// The files that carry a run's regions into the anatomical cube and, with a TAL file, into
// Talairach space.
struct AlignmentFiles {
    std::string ia, fa, acpc, tal;
};

// --ia, --fa, --acpc (required when `required`) and --tal.
inline void declareAlignment(CLI::App& command, AlignmentFiles& files, bool required) {
    const auto file = [&](const char* name, std::string& field, const char* value,
                          const char* help) {
        CLI::Option* option = fileOption(command, name, field, value, help);
        if (required) option->required();
    };
    file("--ia", files.ia, "IA.trf", "The initial alignment.");
    file("--fa", files.fa, "FA.trf", "The fine alignment.");
    file("--acpc", files.acpc, "ACPC.trf", "The AC-PC transformation.");
    fileOption(command, "--tal", files.tal, "TAL",
               "The Talairach landmarks; without them the VOI is in AC-PC space.");
}

} // namespace vocelle
