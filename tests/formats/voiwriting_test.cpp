// Voxel lists are formatted in blocks rather than through the stream; the text must be exactly
// what the stream gives, across block boundaries and for every int.

#include "formats/myVOI.h"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>

namespace {

TEST(VOIWriting, VoxelLinesAsTheStreamWritesThem) {
    const int extremes[] = {0, 7, -7, 10, -10, 255, -99999, INT_MAX, INT_MIN, INT_MIN + 1};
    single_VOI edge;
    for (int a : extremes)
        for (int b : extremes)
            edge.voxels.emplace_back(a, b, a ^ b);
    single_VOI many; // several blocks of text
    for (int k = 0; k < 40000; ++k)
        many.voxels.emplace_back(k * 7919 - 140000000, -k, k % 256);
    VOI voi;
    voi.vois = {edge, single_VOI(), many};
    voi.NrOfVOIs.value() = 3;

    // The reference: the document without lists, each placeholder replaced by its list as the
    // stream writes it.
    std::ostringstream bare;
    voi.PrintTo(bare, false);
    const std::string placeholder = "  Skipping coordinate list\n";
    std::string expected = bare.str();
    size_t at = 0;
    for (const auto& entry : voi.vois) {
        at = expected.find(placeholder, at);
        ASSERT_NE(at, std::string::npos);
        std::ostringstream list;
        for (const auto& v : entry.voxels)
            list << v.x << ' ' << v.y << ' ' << v.z << '\n';
        expected.replace(at, placeholder.size(), list.str());
        at += list.str().size();
    }

    std::ostringstream got;
    voi.PrintTo(got, true);
    EXPECT_TRUE(got.str() == expected) << "lengths " << got.str().size() << ", " << expected.size();
    EXPECT_NE(got.str().find("\n-2147483648 2147483647 -1\n"), std::string::npos);
}

} // namespace
