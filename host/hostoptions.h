#pragma once
// What the command line asks of the vocelle host.

#include <string>

namespace vocelle {

struct HostOptions {
    std::string program;      // this program's file: each process of run --jobs runs it again
    std::string pluginPath;   // run, info: --plugin, or the plug-in found beside this program
    std::string transcriptPath;
    int version[3] = {2, 8, 0};
    std::string jobList;      // run, split; empty for run: the file chooser answers with a cancelled choice
    int jobs = 1;             // run: processes to spread the list over
    std::string reportPath;   // run: --report FILE.tsv, the table of every job's outcome
    bool worker = false;      // run: one process of a --jobs run; log entries go out as records
    int parts = 0;            // split: number of lists to make
    std::string document;     // print, preview, export-nifti, import-nifti, stats: the file to read; gather: the folder
    bool withVoxels = true;   // print: false with --no-voxels
    std::string output;       // convert, preview, export-nifti, import-nifti, gather: -o FILE; split: -o FOLDER
    bool sbatch = false;      // split: also write a Slurm array script beside the parts
    bool oneVolumePerVoi = false; // export-nifti: --4d
    std::string underlay;     // preview: --underlay IMAGE
    std::string space;        // import-nifti: --space TAL|ACPC, empty to follow the image
    // convert: the files of the one job
    std::string roi, fmr, ia, fa, acpc, tal;
};

} // namespace vocelle
