#pragma once
// The entries of ROI and VOI documents: header lines up to NrOfVoxels:, then that many voxel
// triples. Entry is single_ROI or single_VOI.

#include <vocelle/text/keyscan.h>
#include <vocelle/text/triples.h>

#include <istream>
#include <ostream>
#include <vector>

namespace vocelle {

// Appends up to `count` entries. Reading stops at the end of the stream or at the first value
// that does not parse: an entry cut off before its NrOfVoxels is dropped with all later ones, and
// a voxel list keeps only its complete triples (NrOfVoxels then gives the number kept).
template <typename Entry>
void readVoxelEntries(std::istream& in, int count, const FieldTable<Entry>& fields,
                      std::vector<Entry>& entries) {
    // A stream that has stopped can deliver no further entry, so the claimed count is not
    // walked through to its end.
    for (int i = 0; i < count && in.good(); ++i) {
        Entry entry;
        // Kept once its count has been read, even when the file ends right after it.
        if (!scanFields(in, fields, entry, "NrOfVoxels:") || in.fail()) return;
        const auto kept = readTriples(in, entry.NrOfVoxels.value(), entry.voxels);
        if (kept < entry.NrOfVoxels.value()) entry.NrOfVoxels.value() = static_cast<int>(kept);
        entries.push_back(std::move(entry));
    }
}

// Each entry's fields, its voxel list through printVoxels(out, voxels) (with withVoxels false the
// line "  Skipping coordinate list" instead), then an empty line.
template <typename Entry, typename PrintVoxels>
void printVoxelEntries(std::ostream& out, const std::vector<Entry>& entries,
                       const FieldTable<Entry>& fields, bool withVoxels, PrintVoxels printVoxels) {
    for (const auto& entry : entries) {
        printFields(out, fields, entry);
        if (withVoxels)
            printVoxels(out, entry.voxels);
        else
            out << "  Skipping coordinate list\n";
        out << '\n';
    }
}

} // namespace vocelle
