// Uses the installed core the way a study script would: make a VOI, write it, read it back.
// Every installed core header is included (coreheaders.h, made by CMakeLists.txt) after a system
// header that defines MAX and MIN, and the file defines its own getPath, so the core must keep to
// its namespace.
#include "coreheaders.h"

#include <string>

std::string getPath(const std::string& name) { return name; }

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    vocelle::VOI voi;
    vocelle::single_VOI entry;
    entry.NameOfVOI.set("NameOfVOI", "hippocampus", 12);
    entry.voxels = {{1, 2, 3}, {4, 5, 6}};
    entry.NrOfVoxels.set("NrOfVoxels", 2, 12);
    voi.vois.push_back(entry);
    voi.NrOfVOIs.value() = 1;
    voi.SaveAs(getPath(argv[1]));

    const vocelle::VOI back(argv[1]);
    const bool same = back.vois.size() == 1 && back.vois[0].voxels.size() == 2 &&
                      back.vois[0].voxels[1].y == 5 && back.vois[0].NameOfVOI.value() == "hippocampus" &&
                      MAX(1, 2) == 2;
    return same ? 0 : 1;
}
