#pragma once
// The entries of ROI and VOI documents: header lines up to NrOfVoxels:, then that many voxel
// triples. Entry is single_ROI or single_VOI.

#include <vocelle/text/keyscan.h>
#include <vocelle/text/triples.h>

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace vocelle {

// True when the next word begins like a number; only white space is consumed.
inline bool numberFollows(std::istream& in) {
    if (!in.good() || !(in >> std::ws)) return false;
    const int c = in.peek();
    return (c >= '0' && c <= '9') || c == '-' || c == '+';
}

// Appends up to `count` entries. Reading stops at the end of the stream or at the first value
// that does not parse: an entry cut off before its NrOfVoxels is dropped with all later ones, and
// a voxel list keeps only its complete triples. Counts then follow what was kept (NrOfVoxels, and
// `count` when entries are missing), and `fault` notes where reading stopped, or a number after a
// complete voxel list; `entryName` ("region", "VOI") names the entries there.
template <typename Entry>
void readVoxelEntries(std::istream& in, Line<int>& count, const std::string& entryName,
                      const FieldTable<Entry>& fields, std::vector<Entry>& entries,
                      Fault& fault) {
    const int claimed = count.value();
    // A stream that has stopped can deliver no further entry, so the claimed count is not
    // walked through to its end.
    for (int i = 0; i < claimed && in.good(); ++i) {
        Entry entry;
        // Kept once its count has been read, even when the file ends right after it.
        if (!scanFields(in, fields, entry, "NrOfVoxels:", &fault) || in.fail()) break;
        const long long wanted = entry.NrOfVoxels.value();
        const auto kept = readTriples(in, wanted, entry.voxels);
        if (kept < wanted) {
            entry.NrOfVoxels.value() = static_cast<int>(kept);
            notePartlyRead(fault, (in.eof() ? "the file ends after " + std::to_string(kept) +
                                                  " of the " + std::to_string(wanted) + " voxels of "
                                            : "voxel " + std::to_string(kept + 1) +
                                                  " does not parse in ") +
                                      entryName + " " + std::to_string(i + 1));
        } else if (numberFollows(in)) {
            // A key comes next in any file the host writes; a number is a voxel the count left out.
            notePartlyRead(fault, entryName + " " + std::to_string(i + 1) +
                                      " lists more voxels than its NrOfVoxels: " +
                                      std::to_string(wanted));
        }
        entries.push_back(std::move(entry));
    }
    if (claimed > 0 && entries.size() < static_cast<std::size_t>(claimed)) {
        notePartlyRead(fault, "the file ends after " + std::to_string(entries.size()) + " of " +
                                  std::to_string(claimed) + " " + entryName + "s");
        count.value() = static_cast<int>(entries.size());
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
