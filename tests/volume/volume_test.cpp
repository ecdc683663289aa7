#include "volume/volume.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

namespace {

using glm::tvec3;

// 3 x 2 x 2 float volume holding its own linear index + 1.
Volume<float> counting() {
    Volume<float> v(3, 2, 2);
    for (int i = 0; i < v.size(); ++i) v.data()[i] = float(i + 1);
    return v;
}

TEST(Volume, ConstructionZeroesAndChecksSize) {
    Volume<short> plain(2, 3, 4);
    EXPECT_EQ(plain.size(), 24);
    EXPECT_EQ(plain.sizeInBytes(), 48);
    for (int i = 0; i < plain.size(); ++i) EXPECT_EQ(plain.data()[i], 0);
    Volume<double> filled(tvec3<int>(2, 2, 2), 1.5);
    EXPECT_EQ(filled.get(1, 1, 1), 1.5);
    EXPECT_EQ(Volume<float>().size(), 0);
    EXPECT_EQ(Volume<float>().data(), nullptr);

    // A negative dimension, or a count or byte size beyond int, must not allocate wrongly.
    const tvec3<int> bad[] = {{-1, 2, 2}, {-1, -1, 1}, {65536, 65536, 1}, {2000, 2000, 2000},
                              {1 << 15, 1 << 14, 2}};
    for (const auto& d : bad) {
        EXPECT_THROW(Volume<float> v(d), std::bad_alloc) << d.x << " " << d.y << " " << d.z;
        EXPECT_FALSE(Volume<float>::validDimensions(d));
    }
    // 2^29 bytes-sized counts: fine for bytes, too large for doubles.
    EXPECT_TRUE(Volume<unsigned char>::validDimensions({1 << 15, 1 << 14, 2}));
    EXPECT_FALSE(Volume<double>::validDimensions({1 << 14, 1 << 14, 1 << 1}));
}

TEST(Volume, CopyIsDeepAndMoveLeavesAnEmptySource) {
    Volume<float> a = counting();
    Volume<float> b(a);
    b.at(0, 0, 0) = 99;
    EXPECT_EQ(a.at(0, 0, 0), 1.0f);

    Volume<float> c(1, 1, 1);
    c = a; // different count: new array
    EXPECT_EQ(c, a);
    Volume<float> d(2, 3, 2);
    const float* kept = d.data();
    d = a; // same count, other shape: array reused
    EXPECT_EQ(d.data(), kept);
    EXPECT_EQ(d, a);

    const float* moved = a.data();
    Volume<float> e(std::move(a));
    EXPECT_EQ(e.data(), moved);
    EXPECT_EQ(a.size(), 0);
    EXPECT_EQ(a.get(0, 0, 0), 0.0f);
    a = std::move(e);
    EXPECT_EQ(a.data(), moved);
    EXPECT_EQ(e.dimensions(), tvec3<int>(0));
}

TEST(Volume, GetReadsZeroOutsideTheGrid) {
    const Volume<float> v = counting();
    EXPECT_EQ(v.get(2, 1, 1), 12.0f);
    EXPECT_EQ(v.index(2, 1, 1), 11);
    const tvec3<int> outside[] = {{-1, 0, 0}, {3, 0, 0}, {0, -1, 0}, {0, 2, 0},
                                  {0, 0, -1}, {0, 0, 2}, {INT_MIN, 0, 0}, {INT_MAX, 0, 0}};
    for (const auto& p : outside) EXPECT_EQ(v.get(p), 0.0f) << p.x << " " << p.y << " " << p.z;
}

TEST(Volume, NearestRoundsHalvesUpAndIsSafeAnywhere) {
    Volume<float> v(3, 1, 1);
    v.at(0, 0, 0) = 10;
    v.at(1, 0, 0) = 20;
    v.at(2, 0, 0) = 30;
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        float x;
        float expected;
    } cases[] = {{0.49f, 10}, {0.5f, 20},   {-0.5f, 10},  {-0.51f, 0}, {2.49f, 30},
                 {2.5f, 0},   {nan, 0},     {inf, 0},     {-inf, 0},   {3e9f, 0},
                 {-3e9f, 0},  {1e38f, 0},   {-1e38f, 0}};
    for (const auto& c : cases) EXPECT_EQ(v.nearest(c.x, 0, 0), c.expected) << c.x;
    EXPECT_EQ(v.nearest(1, nan, 0), 0.0f);
    EXPECT_EQ(v.nearest(tvec3<float>(1, 0, -inf)), 0.0f);
}

TEST(Volume, LinearInterpolatesWithZeroOutside) {
    Volume<float> v(2, 1, 1);
    v.at(0, 0, 0) = 4;
    v.at(1, 0, 0) = 8;
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        float x;
        float expected;
    } cases[] = {{0, 4},     {1, 8},     {0.5f, 6},  {0.25f, 5}, {-0.5f, 2}, {1.5f, 4},
                 {-1, 0},    {2, 0},     {nan, 0},   {inf, 0},   {-inf, 0},  {5e9f, 0},
                 {-5e9f, 0}, {-1.5f, 0}, {-2.5f, 0}};
    for (const auto& c : cases) EXPECT_EQ(v.linear(c.x, 0, 0), c.expected) << c.x;

    // All three axes: the centre of a 2x2x2 cube is the mean of its corners.
    Volume<double> cube(2, 2, 2);
    for (int i = 0; i < 8; ++i) cube.data()[i] = i;
    EXPECT_DOUBLE_EQ(cube.linear(0.5f, 0.5f, 0.5f), 3.5);
    EXPECT_DOUBLE_EQ(cube.linear(1, 0, 1), 5.0);
    EXPECT_EQ(cube.linear(0.5f, nan, 0.5f), 0.0);

    // Integer volumes interpolate in float and round to the nearest value.
    Volume<unsigned char> bytes(2, 1, 1);
    bytes.at(0, 0, 0) = 0;
    bytes.at(1, 0, 0) = 255;
    EXPECT_EQ(bytes.linear(0.5f, 0, 0), 128);
    EXPECT_EQ(bytes.linear(1, 0, 0), 255);
}

TEST(Volume, ResizeKeepsContentCentred) {
    Volume<float> v(2, 2, 2);
    for (int i = 0; i < 8; ++i) v.data()[i] = float(i + 1);
    const Volume<float> original(v);
    v.resize(4, 4, 4);
    for (int z = 0; z < 4; ++z)
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                const bool inner = x >= 1 && x <= 2 && y >= 1 && y <= 2 && z >= 1 && z <= 2;
                EXPECT_EQ(v.at(x, y, z), inner ? original.at(x - 1, y - 1, z - 1) : 0.0f);
            }
    v.resize(2, 2, 2);
    EXPECT_EQ(v, original);

    // Same count: the array is kept and only relabelled.
    Volume<short> r(2, 3, 4);
    for (int i = 0; i < r.size(); ++i) r.data()[i] = short(i);
    const short* array = r.data();
    r.resize(4, 3, 2);
    EXPECT_EQ(r.data(), array);
    EXPECT_EQ(r.dimensions(), tvec3<int>(4, 3, 2));
    EXPECT_EQ(r.at(3, 2, 1), 23);

    // Odd growth puts the smaller margin first; odd shrinking cuts the smaller share first.
    Volume<float> line(1, 1, 1, 7.0f);
    line.resize(4, 1, 1);
    EXPECT_EQ(line.at(0, 0, 0), 0.0f);
    EXPECT_EQ(line.at(1, 0, 0), 7.0f);
    Volume<float> five(5, 1, 1);
    for (int i = 0; i < 5; ++i) five.data()[i] = float(i);
    five.resize(2, 1, 1);
    EXPECT_EQ(five.at(0, 0, 0), 1.0f);
    EXPECT_EQ(five.at(1, 0, 0), 2.0f);

    // A refused resize leaves the volume untouched.
    EXPECT_THROW(v.resize(-2, 2, 2), std::bad_alloc);
    EXPECT_EQ(v, original);
}

TEST(Volume, ArithmeticFollowsTheElementType) {
    Volume<unsigned char> bytes(1, 1, 1, 250);
    EXPECT_EQ((bytes + 10).at(0, 0, 0), 4);
    EXPECT_EQ((-bytes).at(0, 0, 0), 6);
    Volume<short> s(1, 1, 1, 32767);
    EXPECT_EQ((s + 1).at(0, 0, 0), -32768);
    Volume<short> lowest(1, 1, 1, -32768);
    EXPECT_EQ((lowest / short(-1)).at(0, 0, 0), -32768);
    EXPECT_EQ((Volume<short>(1, 1, 1, -7) / short(2)).at(0, 0, 0), -3);
    Volume<unsigned short> big(1, 1, 1, 65535);
    EXPECT_EQ((big * big).at(0, 0, 0), 1); // 65535^2 mod 2^16, no int overflow on the way

    Volume<float> f = counting();
    Volume<float> g = f * 2.0f - f;
    EXPECT_EQ(g, f);
    g += f;
    g /= f;
    EXPECT_EQ(g, Volume<float>(3, 2, 2, 2.0f));
    EXPECT_TRUE(std::isinf((f / 0.0f).at(0, 0, 0)));

    EXPECT_THROW(bytes /= 0, std::domain_error);
    EXPECT_THROW(s / Volume<short>(1, 1, 1), std::domain_error);
    EXPECT_EQ(s.at(0, 0, 0), 32767);
    EXPECT_THROW(f + Volume<float>(2, 2, 3), std::invalid_argument);
}

TEST(Volume, EqualityTreatsNaNAsUnequal) {
    Volume<float> a = counting();
    Volume<float> b = counting();
    EXPECT_TRUE(a == b);
    b.at(1, 1, 1) = std::nanf("");
    EXPECT_TRUE(a != b);
    a.at(1, 1, 1) = std::nanf("");
    EXPECT_FALSE(a == a);
    EXPECT_EQ(Volume<float>(0, 3, 1), Volume<float>(0, 3, 1));
    EXPECT_NE(Volume<float>(0, 3, 1), Volume<float>(3, 0, 1));
}

TEST(Volume, TextDump) {
    auto dump = [](const auto& v) {
        std::ostringstream out;
        out << v;
        return out.str();
    };
    Volume<float> four(4, 1, 1);
    for (int i = 0; i < 4; ++i) four.data()[i] = float(i + 1);
    EXPECT_EQ(dump(four), "volume (4x1x1):\n  slice 0:\n    [1 2 ... 4]");
    EXPECT_EQ(dump(Volume<float>(0, 5, 5)), "empty volume");

    Volume<short> cube(5, 5, 5);
    for (int i = 0; i < cube.size(); ++i) cube.data()[i] = short(i);
    const std::string expected = "volume (5x5x5):"
                                 "\n  slice 0:"
                                 "\n    [0 1 ... 4]\n    [5 6 ... 9]\n     ...\n    [20 21 ... 24]"
                                 "\n  slice 1:"
                                 "\n    [25 26 ... 29]\n    [30 31 ... 34]\n     ..."
                                 "\n    [45 46 ... 49]"
                                 "\n   ..."
                                 "\n  slice 4:"
                                 "\n    [100 101 ... 104]\n    [105 106 ... 109]\n     ..."
                                 "\n    [120 121 ... 124]";
    EXPECT_EQ(dump(cube), expected);

    Volume<unsigned char> chars(3, 1, 1);
    chars.at(0, 0, 0) = 'a';
    chars.at(1, 0, 0) = 'b';
    chars.at(2, 0, 0) = 'c';
    EXPECT_EQ(dump(chars), "volume (3x1x1):\n  slice 0:\n    [a b c]");
}

} // namespace
