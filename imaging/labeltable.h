#pragma once
// The label table that goes beside a label image: which label number stands for which VOI name
// and colour. Written as export-nifti's tab-separated STEM.tsv (index, name, color as #rrggbb,
// voxels); read from that or from an FSLeyes lookup table STEM.lut (index, red, green, blue
// from 0 to 1, name).

#include <glm/vec3.hpp>

#include <cstddef>
#include <string>
#include <vector>

namespace vocelle {

// The start of the header line of export-nifti's table.
constexpr const char* labelTableHeader = "index\tname\tcolor";

struct LabelEntry {
    long long index = 0;
    std::string name;
    bool hasColour = false;
    glm::ivec3 colour{0, 0, 0};
};

// "#rrggbb", each channel clamped to 0 to 255.
std::string hexColour(const glm::ivec3& colour);

// A name as one table cell: tabs and line ends would break the columns.
std::string tableText(const std::string& name);

// The longest name a table holds, and its longest line.
constexpr std::size_t maxLabelName = 4096;
constexpr std::size_t maxLabelTableLine = 8192;

// Reads STEM.tsv, else STEM.lut, into entries and names the file read in tablePath; false when
// neither exists. Throws FaultError naming the table (and the line) for one that exists but
// cannot be read or is no regular file, a line that cannot be parsed, is too long or ends in CR
// alone, a name longer than maxLabelName, or a label given twice.
bool readLabelTable(const std::string& stem, std::vector<LabelEntry>& entries, std::string& tablePath);

// Reads a table in export-nifti's layout from text (the table an image carries inside); errors
// name `source`.
void readLabelTableText(const std::string& text, const std::string& source,
                        std::vector<LabelEntry>& entries);

} // namespace vocelle
