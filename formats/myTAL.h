#pragma once
// The eight landmarks that define the Talairach grid of one anatomical volume.
//
// File layout (keys in any order; unknown words are passed over; a repeated key takes the later value):
//   FileVersion:        int     -1 until read; a TAL left at -1 counts as absent
//   Project:            string
//   AC: PC: AP: PP: SP: IP: RP: LP:   three integer voxel coordinates each
//   TALVMRFramingCube:  int
//   TALVMRVoxelRes:     float
//
// Landmarks are plain values, always printed; they stay 0 until the file gives them.

#include <vocelle/text/fault.h>
#include <vocelle/text/line.h>

#include <glm/vec3.hpp>

#include <array>
#include <bitset>
#include <istream>
#include <ostream>
#include <string>

namespace vocelle {

class TAL {
public:
    // Index into `landmarks`, in file order.
    enum Landmark { AC, PC, AP, PP, SP, IP, RP, LP, NrOfLandmarks };

    // Absent landmarks: every line unset, FileVersion's value -1, all coordinates 0.
    TAL();
    // Reads the file; throws std::runtime_error "Failed opening for reading: " + path when it is
    // not a regular file or cannot be opened.
    explicit TAL(const std::string& fileName);
    // Reads an already opened document; fileName is only remembered for Save.
    explicit TAL(std::istream& in, const std::string& fileName = std::string());

    void PrintTo(std::ostream& out) const;
    // Replaces fileName without ever destroying it on failure; throws std::runtime_error
    // "Cannot Create file: " + fileName.
    void Save() const;
    void SaveAs(const std::string& newFileName);

    std::string fileName;
    Line<int> FileVersion;
    Line<std::string> Project;
    std::array<glm::tvec3<int>, NrOfLandmarks> landmarks;
    Line<int> TALVMRFramingCube;
    Line<float> TALVMRVoxelRes;
    std::bitset<NrOfLandmarks> landmarkGiven; // which landmarks the file gave
    // Empty when the file was read completely; else "Read only partly (why)" with the path: why
    // reading stopped early (a value that does not parse, the file ending inside a landmark) or,
    // in a file with a FileVersion, which landmarks it lacks. What was read up to there is kept.
    Fault readFault;

private:
    void read(std::istream& in);
};

} // namespace vocelle
