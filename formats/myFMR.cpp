#include <vocelle/formats/myFMR.h>

#include <vocelle/formats/fileversion.h>
#include <vocelle/formats/binaryio.h>
#include <vocelle/text/fileopen.h>
#include <vocelle/text/keyscan.h>
#include <vocelle/text/safesave.h>
#include <vocelle/text/stringmanipulation.h>

#include <algorithm>
#include <cstdint>
#include <istream>
#include <memory>
#include <ostream>
#include <stdexcept>

namespace vocelle {

namespace {

// A run whose volumes hold no values is bounded by nothing in the STC file; beyond this many
// volumes the header is taken as damaged.
constexpr std::int64_t kMaxEmptyVolumes = 1000000;

// Values converted per read or write: a few megabytes of buffer, whatever the run's size.
constexpr std::int64_t kChunkValues = std::int64_t(1) << 18;

// One entry per slice: no run has more slices than this, so a table this long costs little
// whatever the file holds.
constexpr int kPlausibleTimingEntries = 1 << 16;

// The table after its SliceTimingTableSize line.
void readSliceTimingTable(FMR& f, std::istream& in) {
    const int claimed = f.SliceTimingTableSize.value();
    if (claimed >= 1) {
        // A claim a run could have keeps exactly that many entries, unreadable ones as 0, so the
        // file re-saves consistently. A larger claim cannot be honest: it stops at the first
        // value that cannot be read.
        const bool pad = claimed <= kPlausibleTimingEntries;
        for (int i = 0; i < claimed; ++i) {
            float value = 0;
            if (!(in >> value)) {
                // Noted here: the word discarded below clears the end of the file. A failed
                // stream reads nothing more, so the table is padded at most once per file.
                notePartlyRead(f.readFault, valueFault(in, "SliceTimingTableSize:"));
                if (pad) f.sliceTimingTable.resize(f.sliceTimingTable.size() + (claimed - i), 0.0f);
                break;
            }
            f.sliceTimingTable.push_back(value);
        }
    }
    std::string discarded;
    readWord(in, discarded);
}

const char* const kPositionHeading = "PositionInformationFromImageHeaders";
const char* const kPositionEnd = "GapThickness:";

// Known only after the heading word, until GapThickness: has been read.
const FieldTable<FMR>& positionFields() {
    static const FieldTable<FMR> fields = {
        {"PosInfosVerified:", &FMR::PosInfosVerified, 1},
        {"CoordinateSystem:", &FMR::CoordinateSystem, 1},
        {"Slice1CenterX:", &FMR::Slice1CenterX, 1},
        {"Slice1CenterY:", &FMR::Slice1CenterY, 1},
        {"Slice1CenterZ:", &FMR::Slice1CenterZ, 1},
        {"SliceNCenterX:", &FMR::SliceNCenterX, 1},
        {"SliceNCenterY:", &FMR::SliceNCenterY, 1},
        {"SliceNCenterZ:", &FMR::SliceNCenterZ, 1},
        {"RowDirX:", &FMR::RowDirX, 1},
        {"RowDirY:", &FMR::RowDirY, 1},
        {"RowDirZ:", &FMR::RowDirZ, 1},
        {"ColDirX:", &FMR::ColDirX, 1},
        {"ColDirY:", &FMR::ColDirY, 1},
        {"ColDirZ:", &FMR::ColDirZ, 1},
        {"NRows:", &FMR::NRows, 1},
        {"NCols:", &FMR::NCols, 1},
        {"FoVRows:", &FMR::FoVRows, 1},
        {"FoVCols:", &FMR::FoVCols, 1},
        {"SliceThickness:", &FMR::PosSliceThickness, 1},
        {"GapThickness:", &FMR::GapThickness, 3}};
    return fields;
}

// Everything else: the header, the position section under its heading, the trailer and the
// slice-timing table.
const FieldTable<FMR>& fields() {
    static const FieldTable<FMR> table = {
        {"FileVersion:", &FMR::FileVersion, 1},
        {"NrOfVolumes:", &FMR::NrOfVolumes, 1},
        {"NrOfSlices:", &FMR::NrOfSlices, 1},
        {"NrOfSkippedVolumes:", &FMR::NrOfSkippedVolumes, 1},
        {"Prefix:", &FMR::Prefix, 1},
        {"DataStorageFormat:", &FMR::DataStorageFormat, 1},
        {"DataType:", &FMR::DataType, 1},
        {"TR:", &FMR::TR, 1},
        {"InterSliceTime:", &FMR::InterSliceTime, 1},
        {"TimeResolutionVerified:", &FMR::TimeResolutionVerified, 1},
        {"TE:", &FMR::TE, 1},
        {"SliceAcquisitionOrder:", &FMR::SliceAcquisitionOrder, 1},
        {"SliceAcquisitionOrderVerified:", &FMR::SliceAcquisitionOrderVerified, 1},
        {"ResolutionX:", &FMR::ResolutionX, 1},
        {"ResolutionY:", &FMR::ResolutionY, 1},
        {"LoadAMRFile:", &FMR::LoadAMRFile, 1},
        {"ShowAMRFile:", &FMR::ShowAMRFile, 1},
        {"ImageIndex:", &FMR::ImageIndex, 1},
        {"LayoutNColumns:", &FMR::LayoutNColumns, 1},
        {"LayoutNRows:", &FMR::LayoutNRows, 1},
        {"LayoutZoomLevel:", &FMR::LayoutZoomLevel, 1},
        {"SegmentSize:", &FMR::SegmentSize, 1},
        {"SegmentOffset:", &FMR::SegmentOffset, 1},
        {"NrOfLinkedProtocols:", &FMR::NrOfLinkedProtocols, 1},
        {"ProtocolFile:", &FMR::ProtocolFile, 1},
        {"InplaneResolutionX:", &FMR::InplaneResolutionX, 1},
        {"InplaneResolutionY:", &FMR::InplaneResolutionY, 1},
        {"SliceThickness:", &FMR::SliceThickness, 1},
        {"SliceGap:", &FMR::SliceGap, 1},
        {"VoxelResolutionVerified:", &FMR::VoxelResolutionVerified, 2},
        {kPositionHeading,
         [](FMR& f, std::istream& in) {
             scanFields(in, positionFields(), f, kPositionEnd, &f.readFault);
         },
         [](const FMR& f, std::ostream& out) {
             if (f.PosInfosVerified.isSet()) out << "\n" << kPositionHeading << "\n\n";
             printFields(out, positionFields(), f);
         }},
        {"NrOfPastSpatialTransformations:", &FMR::NrOfPastSpatialTransformations, 3},
        {"LeftRightConvention:", &FMR::LeftRightConvention, 3},
        {"FirstDataSourceFile:", &FMR::FirstDataSourceFile, 2},
        {"MultibandSequence:", &FMR::MultibandSequence, 2},
        {"SliceTimingTableSize:", &FMR::SliceTimingTableSize, 1, readSliceTimingTable,
         [](const FMR& f, std::ostream& out) {
             if (f.SliceTimingTableSize.isSet() && f.SliceTimingTableSize.value() >= 1)
                 for (float value : f.sliceTimingTable) out << value << "\n";
         }}};
    return table;
}

// Truncated toward zero to 32 bits, low 16 bits kept (values wrap); NaN and values beyond the
// 32-bit range give 0 instead of an undefined conversion.
std::uint16_t int16Bits(float v) {
    if (!(v >= -2147483648.0f && v < 2147483648.0f)) return 0;
    return static_cast<std::uint16_t>(static_cast<std::uint32_t>(static_cast<std::int32_t>(v)));
}

// The STC layout of a header, every count checked and held in 64 bits.
struct StcLayout {
    std::int64_t volumes = 0;
    std::int64_t slices = 0;
    std::int64_t imageValues = 0;  // ResolutionX * ResolutionY
    std::int64_t volumeValues = 0; // imageValues * slices
    std::int64_t valueBytes = 2;
    glm::tvec3<int> dims{0, 0, 0};

    std::int64_t totalBytes() const { return volumes * volumeValues * valueBytes; }
};

StcLayout stcLayout(const FMR& f) {
    StcLayout l;
    l.dims = glm::tvec3<int>(f.ResolutionX.value(), f.ResolutionY.value(), f.NrOfSlices.value());
    l.volumes = f.NrOfVolumes.value();
    l.valueBytes = f.DataType.isSet() && f.DataType.value() == 2 ? 4 : 2;
    if (l.volumes < 0 || !Volume<float>::validDimensions(l.dims))
        throw FaultError({"Invalid slice data size in FMR", f.fileName});
    l.slices = l.dims.z;
    l.imageValues = std::int64_t(l.dims.x) * l.dims.y;
    l.volumeValues = l.imageValues * l.slices;
    if (l.volumeValues == 0 && l.volumes > kMaxEmptyVolumes)
        throw FaultError({"Invalid slice data size in FMR", f.fileName});
    return l;
}

// The layout of the run and the size of its STC file.
struct CheckedStc {
    StcLayout layout;
    std::int64_t fileBytes = 0;

    std::int64_t missingBytes() const {
        return layout.totalBytes() - std::min(fileBytes, layout.totalBytes());
    }
};

CheckedStc measureStc(const FMR& f, std::istream& in) {
    CheckedStc c;
    c.layout = stcLayout(f);
    in.seekg(0, std::ios::end);
    c.fileBytes = std::max<std::int64_t>(0, static_cast<std::int64_t>(in.tellg()));
    in.seekg(0, std::ios::beg);
    return c;
}

// Before memory is reserved for the run: the file must hold enough of it, at most one volume's
// worth of values missing and at least half the run present, or a header could claim gigabytes
// that nothing backs.
CheckedStc checkStcForLoading(const FMR& f, std::istream& in) {
    const CheckedStc c = measureStc(f, in);
    const std::int64_t missing = c.missingBytes();
    if (missing > c.layout.volumeValues * c.layout.valueBytes || missing > c.fileBytes)
        throw FaultError({"STC file too short for its FMR header", f.stcFileName()});
    return c;
}

std::ifstream openStc(const FMR& f) {
    return openForReading(f.stcFileName(), std::ios::binary, faulttext::openStcForReading);
}

// Value i of STC bytes: a 32-bit float stored as read, a 16-bit integer converted exactly.
float valueAt4(const unsigned char* src, std::int64_t i) { return loadFloat32LE(src + 4 * i); }
float valueAt2(const unsigned char* src, std::int64_t i) {
    return static_cast<float>(loadInt16LE(src + 2 * i));
}

// dst[k] = value at(k) of src for k below n, the value size chosen once.
template <typename At>
void decode(const unsigned char* src, float* dst, std::int64_t n, std::int64_t valueBytes, At at) {
    if (valueBytes == 4) {
        for (std::int64_t k = 0; k < n; ++k) dst[k] = valueAt4(src, at(k));
    } else {
        for (std::int64_t k = 0; k < n; ++k) dst[k] = valueAt2(src, at(k));
    }
}

void decode(const unsigned char* src, float* dst, std::int64_t n, std::int64_t valueBytes) {
    decode(src, dst, n, valueBytes, [](std::int64_t k) { return k; });
}

void encode(const float* src, unsigned char* dst, std::int64_t n, std::int64_t valueBytes) {
    if (valueBytes == 4) {
        for (std::int64_t i = 0; i < n; ++i) storeFloat32LE(dst + 4 * i, src[i]);
    } else {
        for (std::int64_t i = 0; i < n; ++i) storeUInt16LE(dst + 2 * i, int16Bits(src[i]));
    }
}

// Writes the STC file of `f`, whose volumes have been checked against `layout`.
void writeStc(const FMR& f, const StcLayout& layout) {
    const auto write = [&](std::ostream& out) {
        std::vector<unsigned char> buffer(static_cast<size_t>(kChunkValues * layout.valueBytes));
        std::int64_t filled = 0;
        const auto flush = [&] {
            out.write(reinterpret_cast<const char*>(buffer.data()), filled * layout.valueBytes);
            filled = 0;
        };
        for (std::int64_t s = 0; s < layout.slices && out; ++s)
            for (const auto& volume : f.stcVolumes) {
                const float* image = volume.data() + s * layout.imageValues;
                for (std::int64_t at = 0; at < layout.imageValues;) {
                    const std::int64_t run = std::min(layout.imageValues - at, kChunkValues - filled);
                    encode(image + at, buffer.data() + filled * layout.valueBytes, run,
                           layout.valueBytes);
                    filled += run;
                    at += run;
                    if (filled == kChunkValues) flush();
                }
            }
        flush();
    };
    saveReplacing(f.stcFileName(), write, faulttext::openStcForWriting, std::ios::binary);
}

} // namespace

FMR::FMR(std::string fileName, bool loadSTC) : fileName(std::move(fileName)) {
    FileVersion.value() = absentFileVersion;
    auto in = openForReading(this->fileName);
    read(in);
    in.close();
    if (loadSTC) LoadSTC();
}

FMR::FMR(std::istream& in, std::string fileName, bool loadSTC) : fileName(std::move(fileName)) {
    FileVersion.value() = absentFileVersion;
    read(in);
    if (loadSTC) LoadSTC();
}

void FMR::read(std::istream& in) {
    readFault.path = fileName;
    scanFields(in, fields(), *this, std::string(), &readFault);
}

void FMR::PrintTo(std::ostream& out) const {
    out << "\n";
    printFields(out, fields(), *this);
}

std::string FMR::stcFileName() const { return getPath(fileName) + Prefix.value() + ".stc"; }

void FMR::Save() {
    StcLayout layout;
    if (!stcVolumes.empty()) {
        // Checked before anything is written: the STC layout comes from the header, so volumes
        // of another shape would be written wrongly.
        if (stcVolumes.size() > static_cast<size_t>(INT32_MAX))
            throw FaultError({"STC volumes do not match the FMR header", fileName});
        const glm::tvec3<int> dims(ResolutionX.value(), ResolutionY.value(), NrOfSlices.value());
        for (const auto& volume : stcVolumes)
            if (volume.dimensions() != dims)
                throw FaultError({"STC volumes do not match the FMR header", fileName});
        NrOfVolumes.value() = static_cast<int>(stcVolumes.size());
        layout = stcLayout(*this);
    }
    saveReplacing(fileName, [this](std::ostream& out) { PrintTo(out); });
    if (!stcVolumes.empty()) writeStc(*this, layout);
}

void FMR::SaveAs(const std::string& newFileName) {
    if (stcVolumes.empty()) LoadSTC();
    fileName = newFileName;
    Prefix.value() = removeExtension(getFileName(newFileName));
    Save();
}

void FMR::LoadSTC() {
    auto in = openStc(*this);
    LoadSTC(in);
}

bool FMR::CheckSTC() const {
    auto in = openStc(*this);
    return measureStc(*this, in).missingBytes() == 0;
}

void FMR::LoadSTC(std::istream& in) {
    const auto [layout, fileBytes] = checkStcForLoading(*this, in);
    const std::int64_t wanted = layout.totalBytes();

    std::vector<Volume<float>> volumes;
    volumes.reserve(static_cast<size_t>(layout.volumes));
    for (std::int64_t t = 0; t < layout.volumes; ++t) volumes.emplace_back(layout.dims);

    // File order is a sequence of images (slice s, volume t), s outermost; each image is one
    // contiguous plane z = s of volume t.
    const std::int64_t available = std::min(fileBytes, wanted) / layout.valueBytes;
    std::vector<unsigned char> buffer(
        static_cast<size_t>(std::min(available, kChunkValues) * layout.valueBytes));
    std::int64_t done = 0;
    while (done < available) {
        const std::int64_t chunk = std::min(kChunkValues, available - done);
        in.read(reinterpret_cast<char*>(buffer.data()), chunk * layout.valueBytes);
        const std::int64_t got = in.gcount() / layout.valueBytes;
        for (std::int64_t at = 0; at < got;) {
            const std::int64_t image = done / layout.imageValues;
            const std::int64_t offset = done % layout.imageValues;
            const std::int64_t run = std::min(layout.imageValues - offset, got - at);
            float* target = volumes[static_cast<size_t>(image % layout.volumes)].data() +
                            (image / layout.volumes) * layout.imageValues + offset;
            decode(buffer.data() + at * layout.valueBytes, target, run, layout.valueBytes);
            at += run;
            done += run;
        }
        if (got < chunk) break; // the file shrank under us: the rest stays zero
    }
    stcVolumes = std::move(volumes);
}

struct StcSlices::Data {
    std::ifstream in;
    StcLayout layout;
    std::string path;
    std::vector<unsigned char> bytes; // one slice, all volumes
};

StcSlices::StcSlices(const FMR& fmr) : data_(std::make_unique<Data>()) {
    data_->in = openStc(fmr);
    data_->path = fmr.stcFileName();
    // Here the data is used: a run shorter than its header announces is refused.
    const CheckedStc measured = measureStc(fmr, data_->in);
    if (measured.missingBytes() > 0)
        throw FaultError({"STC file too short for its FMR header", data_->path});
    data_->layout = measured.layout;
}

StcSlices::~StcSlices() = default;

long long StcSlices::volumes() const { return data_->layout.volumes; }
long long StcSlices::slices() const { return data_->layout.slices; }
long long StcSlices::imageValues() const { return data_->layout.imageValues; }

void StcSlices::addSums(long long s, const std::vector<std::vector<int>>& groups,
                        const std::vector<double*>& sums) {
    const StcLayout& l = data_->layout;
    const std::int64_t imageBytes = l.imageValues * l.valueBytes;
    // Volumes are read in pieces of about 64 K values: large reads, each still in the processor's
    // cache while its pixels are taken out.
    const std::int64_t chunk =
        std::max<std::int64_t>(1, (kChunkValues / 4) / std::max<std::int64_t>(1, l.imageValues));
    data_->bytes.resize(static_cast<size_t>(std::min(chunk, l.volumes) * imageBytes));
    auto& in = data_->in;
    in.clear();
    in.seekg(static_cast<std::streamoff>(s * l.volumes * imageBytes));
    const std::int64_t image = l.imageValues;
    const auto add = [&](auto valueAt, std::int64_t first, std::int64_t n) {
        for (size_t g = 0; g < groups.size(); ++g) {
            double* sum = sums[g] + first;
            for (const int pixel : groups[g]) {
                const unsigned char* at = data_->bytes.data() + pixel * l.valueBytes;
                for (std::int64_t t = 0; t < n; ++t)
                    sum[t] += static_cast<double>(valueAt(at, t * image));
            }
        }
    };
    for (std::int64_t first = 0; first < l.volumes; first += chunk) {
        const std::int64_t n = std::min(chunk, l.volumes - first);
        in.read(reinterpret_cast<char*>(data_->bytes.data()), n * imageBytes);
        // The length was checked when the file was opened: a file that shrank since is refused.
        if (in.gcount() != n * imageBytes)
            throw FaultError({"STC file too short for its FMR header", data_->path});
        if (l.valueBytes == 4)
            add(valueAt4, first, n);
        else
            add(valueAt2, first, n);
    }
}

} // namespace vocelle
