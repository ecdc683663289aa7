#pragma once
// One run's regions read from the files a command names: the regions (.roi or .voi), the run's
// FMR and, for a VOI, the job's alignment files. The documents are checked as the conversion
// checks them (read completely, a usable scan geometry and initial alignment), so a damaged one
// is refused instead of giving numbers that look right and are not.

#include <vocelle/analysis/glm.h>
#include <vocelle/analysis/regions.h>
#include <vocelle/analysis/timecourse.h>
#include <vocelle/formats/myFMR.h>

#include <string>
#include <vector>

namespace vocelle {

struct RunFiles {
    std::string regions; // .roi or .voi, told by the extension in any case
    std::string fmr;
    std::string ia, fa, acpc, tal; // a VOI needs ia, fa and acpc, tal optional; an ROI takes none
};

class RunRegions {
public:
    // Throws FaultError: a file that cannot be read or was read only partly, a regions file of
    // another kind, geometry files missing for a VOI or given for an ROI, and what regionsFromROI
    // and regionsFromVOI refuse.
    explicit RunRegions(const RunFiles& files);

    FMR fmr; // header only: the STC file is read when the regions are measured
    std::vector<Region> regions;
    // One line per region without voxels in the run's grid, naming it.
    std::vector<std::string> warnings;
};

// A design fitted to every region of a run.
struct FittedRun {
    std::vector<Region> regions;
    Design design;
    TimeCourses courses;
    std::vector<Fit> fits;             // per region; without terms for a region without voxels
    std::vector<std::string> warnings; // regions without voxels, a design without a constant
};

// Reads the regions and the design (sdmPath), checks the design against the run and the
// contrasts against the design before any slice data is read, then measures and fits. Throws
// FaultError as RunRegions, designFromSDM and checkContrasts do.
FittedRun fitRun(const RunFiles& files, const std::string& sdmPath,
                 const std::vector<Contrast>& contrasts);

} // namespace vocelle
