#pragma once
// Small documents for conversion tests. By default they make the identity setup: functional
// voxels of 1 mm, identity initial alignment, no flip, so that on a 256-voxel grid functional
// voxel (x, y, z) is cube voxel (x, y, z).

#include <glm/vec3.hpp>

#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace glm {
// Voxels in test failure messages as (x, y, z) rather than bytes.
inline void PrintTo(const vec<3, int, defaultp>& v, std::ostream* out) {
    *out << "(" << v.x << ", " << v.y << ", " << v.z << ")";
}
} // namespace glm

namespace conversionfiles {

using Voxels = std::vector<glm::tvec3<int>>;

struct Grid {
    int nx = 256, ny = 256, nz = 256;
    float inplane = 1.0f;   // InplaneResolutionX and Y
    float thickness = 1.0f; // SliceThickness; SliceGap is 0
    int volumes = 0;        // NrOfVolumes
    int dataType = 1;       // 1: int16, 2: float; 0: no DataType line, which means int16
};

// FMR header, by default without slice data (NrOfVolumes 0, so its STC file may be empty); the
// first and last slice centres are equal, so no axis is flipped.
inline std::string fmr(const std::string& prefix, const Grid& g) {
    std::ostringstream t;
    t << "FileVersion: 7\nNrOfVolumes: " << g.volumes << "\nNrOfSlices: " << g.nz << "\nPrefix: \""
      << prefix << "\"\n";
    if (g.dataType != 0) t << "DataType: " << g.dataType << "\n";
    t << "ResolutionX: " << g.nx << "\nResolutionY: " << g.ny << "\nInplaneResolutionX: " << g.inplane
      << "\nInplaneResolutionY: " << g.inplane << "\nSliceThickness: " << g.thickness << "\nSliceGap: 0\n"
      << "PositionInformationFromImageHeaders\nPosInfosVerified: 1\n"
      << "Slice1CenterX: 10\nSlice1CenterY: -20\nSlice1CenterZ: 30\n"
      << "SliceNCenterX: 10\nSliceNCenterY: -20\nSliceNCenterZ: 30\nGapThickness: 0\n";
    return t.str();
}

// withVersion false: a TRF without a FileVersion line, which the conversion treats as absent.
inline std::string trf(bool withVersion,
                       const char* rows = "1 0 0 0\n0 1 0 0\n0 0 1 0\n0 0 0 1\n") {
    return std::string(withVersion ? "FileVersion: 8\n" : "") + "DataFormat: Matrix\n" + rows +
           "ExtraVMRTransf: 0\nToVMRVoxelRes: 1\n";
}

struct Landmarks {
    int ap = 58, pc = 151, pp = 230, sp = 54, ip = 170, rp = 60, lp = 196;
};

// The default landmarks fit the Talairach box exactly, so the mapping changes nothing.
inline std::string tal(int fileVersion, const Landmarks& l = Landmarks()) {
    std::ostringstream t;
    t << "FileVersion: " << fileVersion << "\nAC: 128 128 128\nPC: " << l.pc
      << " 128 128\nAP: " << l.ap << " 128 128\nPP: " << l.pp << " 128 128\nSP: 128 " << l.sp
      << " 128\nIP: 128 " << l.ip << " 128\nRP: 128 128 " << l.rp << "\nLP: 128 128 " << l.lp
      << "\n";
    return t.str();
}

inline std::string roi(const std::vector<Voxels>& regions) {
    std::ostringstream t;
    t << "FileVersion: 5\nNrOfTCPlots: " << regions.size() << "\n";
    for (const auto& region : regions) {
        t << "NrOfTCs: 1\nNrOfVoxels: " << region.size() << "\n";
        for (const auto& v : region)
            t << v.x << ' ' << v.y << ' ' << v.z << "\n";
    }
    return t.str();
}

// One job's files in folder (ROI, FMR with an empty STC file, identity IA, FA and ACPC TRF),
// named after name; returns the job's list lines.
inline std::string job(const std::string& folder, const std::string& name,
                       const std::vector<Voxels>& regions, const Grid& grid) {
    const std::string at = folder + "/" + name;
    std::ofstream(at + ".roi", std::ios::binary) << roi(regions);
    std::ofstream(at + ".fmr", std::ios::binary) << fmr(name, grid);
    std::ofstream(at + ".stc", std::ios::binary);
    std::string lines = name + ".roi\n" + name + ".fmr\n";
    for (const char* kind : {"_IA.trf", "_FA.trf", "_ACPC.trf"}) {
        std::ofstream(at + kind, std::ios::binary) << trf(true);
        lines += name + kind + "\n";
    }
    return lines;
}

} // namespace conversionfiles
