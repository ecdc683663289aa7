// make_study: writes the bundled example study through the project's own document classes.
//
//   make_study FOLDER
//
//   make_study FOLDER --noise
//
// FOLDER receives jobs.txt, s1/ (a complete subject) and s2/ (a subject whose functional run
// and fine alignment are not there yet). The regions are defined as spheres in Talairach
// millimetres and drawn onto the functional slices through the subject's own transformations,
// so converting them back must land them where they were defined. The run's design (run1.sdm) is
// planted in the slice data: every voxel of a region follows a known combination of the
// predictors on top of its own baseline, exactly (integers), or with --noise plus a seeded noise
// of up to 15 in every volume; voxels outside the regions vary with noise alone. Every number comes from
// fixed constants and a fixed integer hash, and the geometry uses only +, -, * and /, so the
// output is the same byte for byte on every machine; the tests regenerate the study and compare
// it with the committed copy.

#include <vocelle/formats/myFMR.h>
#include <vocelle/formats/myROI.h>
#include <vocelle/formats/mySDM.h>
#include <vocelle/formats/myTAL.h>
#include <vocelle/formats/myTRF.h>
#include <vocelle/math/trffunctions.h>

#include <glm/common.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

using namespace vocelle;

namespace {

using Vec4 = std::array<double, 4>;
using Mat4 = std::array<Vec4, 4>;

Mat4 identity() {
    Mat4 m{};
    for (int i = 0; i < 4; ++i) m[i][i] = 1.0;
    return m;
}

Mat4 operator*(const Mat4& a, const Mat4& b) {
    Mat4 out{};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            for (int k = 0; k < 4; ++k) out[r][c] += a[r][k] * b[k][c];
    return out;
}

Vec4 operator*(const Mat4& m, const Vec4& v) {
    Vec4 out{};
    for (int r = 0; r < 4; ++r)
        for (int k = 0; k < 4; ++k) out[r] += m[r][k] * v[k];
    return out;
}

Mat4 translation(double x, double y, double z) {
    Mat4 m = identity();
    m[0][3] = x;
    m[1][3] = y;
    m[2][3] = z;
    return m;
}

// An angle given by its cosine and sine, written out so that no trigonometric function (whose
// last bit may differ between libraries) enters the files.
struct Angle {
    double c, s;
};
const Angle deg0_5{0.9999619230641713, 0.008726535498373935};
const Angle deg1{0.9998476951563913, 0.01745240643728351};
const Angle deg1_5{0.9996573249755573, 0.026176948307873153};
const Angle deg2{0.9993908270190958, 0.03489949670250097};
const Angle deg3{0.9986295347545738, 0.052335956242943835};
const Angle deg4{0.9975640502598242, 0.0697564737441253};
const Angle deg6{0.9945218953682733, 0.10452846326765347};
const Angle deg8{0.9902680687415704, 0.13917310096006544};
Angle operator-(Angle a) { return {a.c, -a.s}; }

// Rotation about one axis of the cube (0: anterior-posterior, 1: superior-inferior, 2:
// right-left).
Mat4 rotation(int axis, Angle a) {
    const int i = (axis + 1) % 3;
    const int j = (axis + 2) % 3;
    Mat4 m = identity();
    m[i][i] = a.c;
    m[i][j] = -a.s;
    m[j][i] = a.s;
    m[j][j] = a.c;
    return m;
}

// Gauss-Jordan elimination with partial pivoting; the matrices here are well conditioned.
Mat4 inverse(Mat4 a) {
    Mat4 b = identity();
    for (int col = 0; col < 4; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 4; ++r)
            if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
        std::swap(a[col], a[pivot]);
        std::swap(b[col], b[pivot]);
        const double d = a[col][col];
        for (int c = 0; c < 4; ++c) {
            a[col][c] /= d;
            b[col][c] /= d;
        }
        for (int r = 0; r < 4; ++r) {
            if (r == col) continue;
            const double f = a[r][col];
            for (int c = 0; c < 4; ++c) {
                a[r][c] -= f * a[col][c];
                b[r][c] -= f * b[col][c];
            }
        }
    }
    return b;
}

void toFloat(const Mat4& m, float (*out)[4]) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) out[r][c] = static_cast<float>(m[r][c]);
}

Mat4 toDouble(const float (*m)[4]) {
    Mat4 out{};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) out[r][c] = m[r][c];
    return out;
}

// ---- The study ------------------------------------------------------------------------------

// Functional run: 64 x 64 sagittal slices of 3 mm voxels, 30 slices 3 mm thick with a 0.5 mm gap.
const int columns = 64;
const int rows = 64;
const int slices = 30;
const int volumes = 12;

// A sphere in Talairach millimetres: right, anterior, superior. Radius 0 leaves the region
// empty (drawn as a region but never filled).
struct Region {
    const char* what;
    double right, anterior, superior, radius;
};
const Region regions[] = {
    {"left primary visual cortex (calcarine sulcus)", -8, -84, 4, 11},
    {"left primary motor cortex, hand area", -36, -22, 54, 9},
    {"left dorsal premotor cortex, overlapping region 2", -30, -12, 60, 7},
    {"right thalamus", 12, -18, 8, 6},
    {"not drawn yet (empty)", 0, 0, 0, 0},
};

// The design: a visual and a motor block design, a linear drift centred on the run, and the
// constant. Every value times a planted weight below is a whole number, so the planted signal is
// stored exactly in 16-bit slice data.
struct Predictor {
    const char* name;
    glm::tvec3<int> colour;
    double values[volumes];
};
const Predictor design[] = {
    {"visual", {255, 110, 0}, {0, 1, 1, 0, 0, 0, 0, 1, 1, 0, 0, 0}},
    {"motor", {0, 150, 255}, {0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 1}},
    {"drift", {150, 150, 150}, {-5.5, -4.5, -3.5, -2.5, -1.5, -0.5, 0.5, 1.5, 2.5, 3.5, 4.5, 5.5}},
    {"constant", {255, 255, 255}, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
};
const int predictorCount = static_cast<int>(std::size(design));

// The planted weights of visual, motor and drift per region (the constant is each voxel's own
// baseline). A voxel in two regions follows the first; the two motor regions, which overlap,
// respond alike.
const double planted[][3] = {{40, 0, 2}, {0, 25, 2}, {0, 25, 2}, {12, 12, 2}, {0, 0, 0}};
const double noiseAmplitude = 15;

struct Subject {
    const char* folder;
    // Landmarks in AC-PC cube voxels: AC, PC, AP, PP, SP, IP, RP, LP.
    std::array<glm::tvec3<int>, TAL::NrOfLandmarks> landmarks;
    Mat4 acpc;              // centred AC-PC cube -> centred native anatomy, in millimetres
    Mat4 initialAlignment;  // centred functional millimetres -> centred native anatomy
    Mat4 fineAlignment;     // small correction on top of the initial alignment
    double slice1Y, slice1Z, sliceNY, sliceNZ; // scanner position of the first and last slice
    bool functionalRunPresent;
};

// The AC-PC transformation turns the head about the AC (pitch and a little yaw) and moves the AC
// to where it lies in the native scan.
Mat4 acpcTransformation(Angle pitch, Angle yaw, double acX, double acY, double acZ) {
    return translation(acX, acY, acZ) * rotation(2, pitch) * rotation(1, yaw) *
           translation(-0.5, -0.5, -0.5);
}

const Subject subjects[] = {
    {"s1",
     {{{128, 128, 128}, {153, 128, 128}, {60, 124, 128}, {230, 134, 128},
       {141, 57, 128}, {146, 171, 128}, {136, 122, 61}, {136, 122, 196}}},
     acpcTransformation(deg8, deg2, -14.0, 17.0, 1.5),
     translation(4.5, -6.2, 2.8) * rotation(0, deg2) * rotation(2, -deg3),
     translation(0.6, -0.4, 0.3) * rotation(1, deg0_5),
     14.2, 22.6, 14.2, 22.6,
     true},
    {"s2",
     {{{128, 128, 128}, {152, 128, 128}, {57, 125, 128}, {233, 131, 128},
       {139, 55, 128}, {148, 174, 128}, {133, 124, 59}, {133, 124, 198}}},
     acpcTransformation(-deg6, -deg1_5, -12.5, 19.0, -2.0),
     translation(-3.1, -4.4, 1.2) * rotation(0, -deg1) * rotation(2, deg4),
     translation(-0.3, 0.5, -0.2) * rotation(2, deg1),
     9.8, 18.4, 9.8, 18.4,
     false},
};

// AC-PC cube voxel coordinates to Talairach millimetres (right, anterior, superior): the
// piecewise-linear normalisation between the landmarks, the inverse of untal.
std::array<double, 3> talairachOf(const Vec4& p, const Subject& s) {
    const auto& lm = s.landmarks;
    double x, y, z; // Talairach frame of the cube
    if (p[0] < 128) x = 128 + (p[0] - 128) * -70 / (lm[TAL::AP][0] - 128);
    else if (p[0] < lm[TAL::PC][0]) x = 128 + (p[0] - 128) * 23 / (lm[TAL::PC][0] - 128);
    else x = 151 + (p[0] - lm[TAL::PC][0]) * 79 / (lm[TAL::PP][0] - lm[TAL::PC][0]);
    if (p[1] < 128) y = 128 + (p[1] - 128) * -74 / (lm[TAL::SP][1] - 128);
    else y = 128 + (p[1] - 128) * 42 / (lm[TAL::IP][1] - 128);
    if (p[2] < 128) z = 128 + (p[2] - 128) * -68 / (lm[TAL::RP][2] - 128);
    else z = 128 + (p[2] - 128) * 68 / (lm[TAL::LP][2] - 128);
    return {128 - z, 128 - x, 128 - y};
}

bool inRegion(const std::array<double, 3>& t, const Region& region) {
    const double dr = t[0] - region.right;
    const double da = t[1] - region.anterior;
    const double ds = t[2] - region.superior;
    return dr * dr + da * da + ds * ds < region.radius * region.radius;
}

// Uniform in [-1, 1), from a fixed integer hash of the voxel and the volume.
double noise(int c, int r, int s, int t) {
    const auto u = [](int v) { return static_cast<std::uint32_t>(v); };
    std::uint32_t h = u(c) * 73856093u ^ u(r) * 19349663u ^ u(s) * 83492791u ^ u(t) * 2654435761u;
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return h / 2147483648.0 - 1.0;
}

double square(double v) { return v * v; }

// A T2*-weighted head in Talairach millimetres: brain with darker white matter, bright lateral
// ventricles, a thin scalp and a nearly empty background.
double intensity(const std::array<double, 3>& t, int c, int r, int s, int volume) {
    const double brain = square(t[0] / 66) + square((t[1] + 16) / 84) + square((t[2] - 15) / 56);
    const double ventricle =
        square((std::fabs(t[0]) - 9) / 4) + square((t[1] + 8) / 20) + square((t[2] - 18) / 7);
    double value;
    if (brain < 1) {
        value = ventricle < 1 ? 900 : brain < 0.5 ? 560 : 640;
        value *= 1 + 0.03 * noise(c, r, s, volume);
    } else if (brain < 1.35) {
        value = 240 * (1 + 0.1 * noise(c, r, s, volume));
    } else {
        value = 20 + 8 * noise(c, r, s, volume);
    }
    return std::floor(value + 0.5);
}

std::string padded(const std::string& key, int width) {
    const int blanks = std::max(1, width - static_cast<int>(key.size()));
    return key + std::string(static_cast<size_t>(blanks), ' ');
}

// The FMR header as the scanner export writes it; read back through FMR so that the saved file
// is what the FMR document prints.
std::string fmrText(const Subject& s) {
    std::ostringstream t;
    const auto line = [&](const char* key, const std::string& value) {
        t << padded(std::string(key) + ":", 32) << value << "\n";
    };
    const auto number = [](double v) {
        std::ostringstream n;
        n << v;
        return n.str();
    };
    t << "\n";
    line("FileVersion", "7");
    line("NrOfVolumes", std::to_string(volumes));
    line("NrOfSlices", std::to_string(slices));
    line("NrOfSkippedVolumes", "0");
    line("Prefix", "\"run1\"");
    line("DataStorageFormat", "1");
    line("DataType", "1");
    line("TR", "2000");
    line("InterSliceTime", "66");
    line("TimeResolutionVerified", "1");
    line("TE", "30");
    line("SliceAcquisitionOrder", "0");
    line("SliceAcquisitionOrderVerified", "1");
    line("ResolutionX", std::to_string(columns));
    line("ResolutionY", std::to_string(rows));
    line("LoadAMRFile", "\"run1_firstvol.amr\"");
    line("ShowAMRFile", "1");
    line("ImageIndex", "0");
    line("LayoutNColumns", "6");
    line("LayoutNRows", "5");
    line("LayoutZoomLevel", "1");
    line("SegmentSize", "10");
    line("SegmentOffset", "0");
    line("NrOfLinkedProtocols", "1");
    line("ProtocolFile", "\"fingertapping.prt\"");
    line("InplaneResolutionX", "3");
    line("InplaneResolutionY", "3");
    line("SliceThickness", "3");
    line("SliceGap", "0.5");
    line("VoxelResolutionVerified", "1");
    t << "\n\nPositionInformationFromImageHeaders\n\n";
    line("PosInfosVerified", "1");
    line("CoordinateSystem", "1");
    // Sagittal slices from right to left, 29 slice distances of 3.5 mm apart.
    line("Slice1CenterX", "-50.75");
    line("Slice1CenterY", number(s.slice1Y));
    line("Slice1CenterZ", number(s.slice1Z));
    line("SliceNCenterX", "50.75");
    line("SliceNCenterY", number(s.sliceNY));
    line("SliceNCenterZ", number(s.sliceNZ));
    line("RowDirX", "0");
    line("RowDirY", "1");
    line("RowDirZ", "0");
    line("ColDirX", "0");
    line("ColDirY", "0");
    line("ColDirZ", "-1");
    line("NRows", std::to_string(rows));
    line("NCols", std::to_string(columns));
    line("FoVRows", "192");
    line("FoVCols", "192");
    line("SliceThickness", "3");
    line("GapThickness", "0.5");
    t << "\n\n";
    line("NrOfPastSpatialTransformations", "0");
    t << "\n\n";
    line("LeftRightConvention", "1");
    t << "\n\n";
    line("FirstDataSourceFile", "\"run1_0001.dcm\"");
    t << "\n";
    line("MultibandSequence", "0");
    t << "\n";
    line("SliceTimingTableSize", std::to_string(slices));
    for (int k = 0; k < slices; ++k) t << k * 66 << "\n";
    return t.str();
}

template <typename T> void put(Line<T>& line, const char* name, T value, int width) {
    line.set(name, value, width);
}

void putQuoted(Line<std::string>& line, const char* name, const std::string& value, int width) {
    line.set(name, value, width);
    line.setQuoted(true);
}

const int trfWidth = 21;

// An alignment between the functional run and the anatomy; step 1 initial, step 2 fine.
TRF alignmentTrf(const Mat4& m, int step) {
    TRF trf;
    put(trf.FileVersion, "FileVersion", 8, trfWidth);
    put(trf.DataFormat, "DataFormat", std::string("Matrix"), trfWidth);
    toFloat(m, trf.matrix);
    put(trf.TransformationType, "TransformationType", 2, trfWidth);
    put(trf.CoordinateSystem, "CoordinateSystem", 0, trfWidth);
    put(trf.NSlicesFMRVMR, "NSlicesFMRVMR", slices, trfWidth);
    put(trf.SlThickFMRVMR, "SlThickFMRVMR", 3.0f, trfWidth);
    put(trf.SlGapFMRVMR, "SlGapFMRVMR", 0.5f, trfWidth);
    put(trf.CreateFMR3DMethod, "CreateFMR3DMethod", 1, trfWidth);
    put(trf.AlignmentStep, "AlignmentStep", step, trfWidth);
    put(trf.ExtraVMRTransf, "ExtraVMRTransf", 0, trfWidth);
    put(trf.ToVMRFramingCube, "ToVMRFramingCube", 256, trfWidth);
    put(trf.ToVMRVoxelRes, "ToVMRVoxelRes", 1.0f, trfWidth);
    putQuoted(trf.SourceFile, "SourceFile", "run1.fmr", trfWidth);
    putQuoted(trf.TargetFile, "TargetFile", "anat.vmr", trfWidth);
    return trf;
}

TRF acpcTrf(const Mat4& m) {
    TRF trf;
    put(trf.FileVersion, "FileVersion", 8, trfWidth);
    put(trf.DataFormat, "DataFormat", std::string("Matrix"), trfWidth);
    toFloat(m, trf.matrix);
    put(trf.TransformationType, "TransformationType", 2, trfWidth);
    put(trf.CoordinateSystem, "CoordinateSystem", 0, trfWidth);
    put(trf.ExtraVMRTransf, "ExtraVMRTransf", 0, trfWidth);
    putQuoted(trf.SourceFile, "SourceFile", "anat.vmr", trfWidth);
    putQuoted(trf.TargetFile, "TargetFile", "anat_ACPC.vmr", trfWidth);
    put(trf.ACPCVMRFramingCube, "ACPCVMRFramingCube", 256, trfWidth);
    put(trf.ACPCVMRVoxelRes, "ACPCVMRVoxelRes", 1.0f, trfWidth);
    return trf;
}

TAL talairachLandmarks(const Subject& s) {
    TAL tal;
    put(tal.FileVersion, "FileVersion", 1, 20);
    putQuoted(tal.Project, "Project", "anat_ACPC.vmr", 20);
    tal.landmarks = s.landmarks;
    put(tal.TALVMRFramingCube, "TALVMRFramingCube", 256, 20);
    put(tal.TALVMRVoxelRes, "TALVMRVoxelRes", 1.0f, 20);
    return tal;
}

// The subject's regions and slice data, drawn through the same mapping the conversion inverts.
struct Drawing {
    ROI roi;
    std::vector<Volume<float>> stc;
};

Drawing draw(const Subject& s, const FMR& fmr, const TRF& ia, const TRF& fa, const TRF& acpc,
             bool noisy) {
    float toFunctional[4][4];
    createVMR2FMRmatrix(fmr, ia, fa, acpc, toFunctional);
    const Mat4 toAcpc = inverse(toDouble(toFunctional));
    const double hx = (columns - 1) * 0.5, hy = (rows - 1) * 0.5, hz = (slices - 1) * 0.5;

    Drawing d;
    d.stc.assign(volumes, Volume<float>(columns, rows, slices));
    const int regionCount = static_cast<int>(std::size(regions));
    std::vector<std::vector<glm::tvec3<int>>> voxels(static_cast<size_t>(regionCount));
    for (int z = 0; z < slices; ++z)
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < columns; ++x) {
                Vec4 p = toAcpc * Vec4{x - hx, y - hy, z - hz, 1.0};
                for (int a = 0; a < 3; ++a) p[a] += 127.5;
                const auto t = talairachOf(p, s);
                int first = -1;
                for (int i = 0; i < regionCount; ++i)
                    if (inRegion(t, regions[i])) {
                        voxels[static_cast<size_t>(i)].emplace_back(x, y, z);
                        if (first < 0) first = i;
                    }
                for (int v = 0; v < volumes; ++v) {
                    double value;
                    if (first < 0) {
                        value = intensity(t, x, y, z, v);
                    } else {
                        value = intensity(t, x, y, z, 0);
                        for (int p = 0; p < 3; ++p) value += planted[first][p] * design[p].values[v];
                        if (noisy) value += std::floor(noiseAmplitude * noise(x, y, z, v + 1000) + 0.5);
                    }
                    d.stc[static_cast<size_t>(v)].at(x, y, z) = static_cast<float>(value);
                }
            }

    ROI& roi = d.roi;
    put(roi.FileVersion, "FileVersion", 5, 22);
    put(roi.SaveVoxelsInROIs, "SaveVoxelsInROIs", 1, 22);
    put(roi.SaveSortedVoxelList, "SaveSortedVoxelList", 1, 22);
    put(roi.SaveROIMaxPSC, "SaveROIMaxPSC", 0, 22);
    put(roi.NrOfTCPlots, "NrOfTCPlots", regionCount, 22);
    for (const auto& list : voxels) {
        single_ROI entry;
        glm::tvec3<int> lo(0), hi(0);
        if (!list.empty()) lo = hi = list.front();
        for (const auto& v : list) {
            lo = glm::min(lo, v);
            hi = glm::max(hi, v);
        }
        put(entry.NrOfTCs, "NrOfTCs", 1, 12);
        put(entry.FromSlice, "FromSlice", lo.z, 12);
        put(entry.Left, "Left", lo.x, 12);
        put(entry.Right, "Right", hi.x, 12);
        put(entry.Top, "Top", lo.y, 12);
        put(entry.Bottom, "Bottom", hi.y, 12);
        put(entry.NrOfVoxels, "NrOfVoxels", static_cast<int>(list.size()), 12);
        entry.voxels = list;
        roi.rois.push_back(entry);
    }
    return d;
}

SDM designMatrix() {
    SDM sdm;
    sdm.NrOfPredictors.value() = predictorCount;
    sdm.NrOfDataPoints.value() = volumes;
    sdm.IncludesConstant.value() = true;
    sdm.FirstConfoundPredictor.value() = predictorCount;
    for (const Predictor& p : design) {
        sdm.red.push_back(p.colour.r);
        sdm.green.push_back(p.colour.g);
        sdm.blue.push_back(p.colour.b);
        sdm.predictorNames.push_back(p.name);
        sdm.values.emplace_back(std::begin(p.values), std::end(p.values));
    }
    return sdm;
}

void writeSubject(const std::filesystem::path& study, const Subject& s, bool noisy) {
    const std::filesystem::path folder = study / s.folder;
    std::filesystem::create_directories(folder);
    const auto path = [&](const char* name) { return (folder / name).string(); };

    std::istringstream header(fmrText(s));
    FMR fmr(header, path("run1.fmr"), false);
    const TRF ia = alignmentTrf(s.initialAlignment, 1);
    const TRF fa = alignmentTrf(s.fineAlignment, 2);
    const TRF acpc = acpcTrf(s.acpc);
    Drawing d = draw(s, fmr, ia, fa, acpc, noisy);

    d.roi.SaveAs(path("run1.roi"));
    TRF(ia).SaveAs(path("run1_IA.trf"));
    TRF(acpc).SaveAs(path("anat_ACPC.trf"));
    talairachLandmarks(s).SaveAs(path("anat.tal"));
    if (s.functionalRunPresent) {
        fmr.stcVolumes = std::move(d.stc);
        fmr.Save(); // header and run1.stc
        TRF(fa).SaveAs(path("run1_FA.trf"));
    }
    designMatrix().SaveAs(path("run1.sdm"));

    std::printf("%s:", s.folder);
    for (const auto& entry : d.roi.rois) std::printf(" %d", entry.NrOfVoxels.value());
    std::printf(" functional voxels per region\n");
}

const char* const jobList =
    "./\n"
    "Example study: each job starts at its ROI line; lines like this one are passed over.\n"
    "Subject 1, regions to Talairach space\n"
    "s1/run1.roi\n"
    "s1/run1.fmr\n"
    "s1/run1_IA.trf\n"
    "s1/run1_FA.trf\n"
    "s1/anat_ACPC.trf\n"
    "s1/anat.tal\n"
    "s1/run1.sdm\n"
    "Subject 1 again, regions to AC-PC space only (no Talairach line)\n"
    "s1/run1.roi\n"
    "s1/run1.fmr\n"
    "s1/run1_IA.trf\n"
    "s1/run1_FA.trf\n"
    "s1/anat_ACPC.trf\n"
    "Subject 2: functional run and fine alignment not copied yet\n"
    "s2/run1.roi\n"
    "s2/run1.fmr\n"
    "s2/run1_IA.trf\n"
    "s2/run1_FA.trf\n"
    "s2/anat_ACPC.trf\n"
    "s2/anat.tal\n"
    "s2/run1.sdm\n";

} // namespace

int main(int argc, char** argv) {
    const bool noisy = argc == 3 && std::string(argv[2]) == "--noise";
    if (argc != 2 && !noisy) {
        std::fprintf(stderr, "usage: make_study FOLDER [--noise]\n");
        return 2;
    }
    try {
        const std::filesystem::path study = argv[1];
        std::filesystem::create_directories(study);
        for (const auto& s : subjects) writeSubject(study, s, noisy);
        std::ofstream list(study / "jobs.txt", std::ios::binary);
        list << jobList;
        list.close();
        if (!list) throw std::runtime_error("Cannot Create file: " + (study / "jobs.txt").string());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_study: %s\n", e.what());
        return 1;
    }
    return 0;
}
