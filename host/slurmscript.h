#pragma once
// The Slurm array script that vocelle split --sbatch writes beside the parts: one task per part,
// each running `vocelle run --report` on its part in the folder split ran in, whatever folder the
// script is submitted from. The report of the part NAME.K.txt is NAME.K.tsv beside it, where
// vocelle gather finds it. Paths are written so that sbatch and the shell take them as they are;
// where Slurm cannot (a backslash in the log folder's path turns its log names into plain text),
// each task writes its log itself.

#include <string>

namespace vocelle {

struct SlurmScript {
    std::string path, text;
};

// Where the script goes: beside the parts, the list's name ending ".sbatch".
std::string slurmScriptPath(const std::string& listPath, const std::string& folder);

// The script STEM.sbatch beside the `parts` parts of listPath (in `folder`, or the list's folder
// when empty), its tasks logging to logs/ there and running `program`. Made before any part is
// written, so that a list the script cannot serve is refused with nothing written: throws
// std::runtime_error saying why (a path with a line end).
SlurmScript makeSlurmScript(const std::string& listPath, int parts, const std::string& folder,
                            const std::string& program);

// Creates the script's log folder and saves the script, executable. Throws naming what failed.
void writeSlurmScript(const SlurmScript& script);

} // namespace vocelle
