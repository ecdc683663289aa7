// Uses the installed core the way a study script would: make a VOI, write it, read it back.
#include "formats/myVOI.h"
#include "text/stringmanipulation.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    VOI voi;
    single_VOI entry;
    entry.NameOfVOI.set("NameOfVOI", "hippocampus", 12);
    entry.color = {255, 40, 50};
    entry.voxels = {{1, 2, 3}, {4, 5, 6}};
    entry.NrOfVoxels.set("NrOfVoxels", 2, 12);
    voi.vois.push_back(entry);
    voi.NrOfVOIs.value() = 1;
    voi.SaveAs(argv[1]);

    const VOI back(argv[1]);
    std::printf("%s %zu %d\n", getFileName(back.fileName).c_str(), back.vois.size(),
                back.vois.empty() ? 0 : back.vois[0].voxels[1].y);
    return back.vois.size() == 1 && back.vois[0].voxels.size() == 2 ? 0 : 1;
}
