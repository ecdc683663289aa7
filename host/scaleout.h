#pragma once
// A study run as parts on a cluster: the Slurm array script that vocelle split --sbatch writes
// beside the parts, and vocelle gather, which sums up the parts' run reports.
//
// The report of the part NAME.K.txt is NAME.K.tsv beside it; the script's tasks write them so,
// and gather finds them so.

#include <vocelle/host/hostoptions.h>

#include <string>

namespace vocelle {

struct SlurmScript {
    std::string path, text;
};

// The script STEM.sbatch beside the parts of options.jobList (options.parts of them, in
// options.output or the list's folder), its tasks logging to logs/ there. Each array task runs
// `vocelle run --report` on its part in the folder vocelle split ran in, whatever folder the
// script is submitted from. Made before any part is written, so that a list the script cannot
// serve is refused with nothing written: throws std::runtime_error saying why.
SlurmScript makeSlurmScript(const HostOptions& options);

// Creates the script's log folder and saves the script, executable. Throws std::runtime_error
// naming what failed.
void writeSlurmScript(const SlurmScript& script);

// vocelle gather DIR [-o FILE.tsv]: every part in DIR and its report, in part order. Prints each
// job not converted, the parts to run again and the summary line of a run over the whole list;
// -o writes the reports' rows as one report. Returns 0 when every job was converted, 1 when some
// were not, 2 when a part has no report or a report cannot be read.
int gatherCommand(const HostOptions& options);

} // namespace vocelle
