// Uses the installed core the way a study script would: make a VOI, write it, read it back.
#include "formats/myVOI.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    VOI voi;
    single_VOI entry;
    entry.NameOfVOI.set("NameOfVOI", "hippocampus", 12);
    entry.voxels = {{1, 2, 3}, {4, 5, 6}};
    entry.NrOfVoxels.set("NrOfVoxels", 2, 12);
    voi.vois.push_back(entry);
    voi.NrOfVOIs.value() = 1;
    voi.SaveAs(argv[1]);

    const VOI back(argv[1]);
    const bool same = back.vois.size() == 1 && back.vois[0].voxels.size() == 2 &&
                      back.vois[0].voxels[1].y == 5 && back.vois[0].NameOfVOI.value() == "hippocampus";
    return same ? 0 : 1;
}
