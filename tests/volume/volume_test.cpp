#include <vocelle/volume/volume.h>

#include <gtest/gtest.h>

#include <sstream>

using namespace vocelle;

namespace {

using glm::tvec3;

// Elements numbered in storage order, from `first`.
template <typename T> Volume<T> numbered(int nx, int ny, int nz, T first = 0) {
    Volume<T> v(nx, ny, nz);
    for (int i = 0; i < v.size(); ++i)
        v.data()[i] = static_cast<T>(first + i);
    return v;
}

TEST(Volume, SizesCopiesAndMoves) {
    EXPECT_EQ(Volume<short>(2, 3, 4).sizeInBytes(), 48);
    EXPECT_EQ(Volume<short>(tvec3<int>(2, 3, 4)), Volume<short>(2, 3, 4, 0));
    // No negative dimension, no count or byte size beyond int.
    EXPECT_TRUE(Volume<unsigned char>::validDimensions({INT_MAX, 1, 1}) &&
                Volume<float>::validDimensions({0, 0, 0}));
    const int invalid[][3] = {
        {-1, 2, 2}, {2, -1, 2}, {2, 2, -1}, {65536, 65536, 1}, {1 << 15, 1 << 14, 2}};
    for (const auto& d : invalid)
        EXPECT_FALSE(Volume<float>::validDimensions({d[0], d[1], d[2]})) << d[0] << " " << d[1];
    const Volume<short> two = numbered<short>(2, 1, 1), three = numbered<short>(3, 1, 1, 5);
    Volume<short> c, moved;
    c = two;
    c = three; // another size: a new array
    EXPECT_EQ(c, three);
    c.copyData(numbered<short>(4, 1, 1, 1).data() + 1);
    Volume<short> taken(std::move(c));
    moved = std::move(taken);
    EXPECT_EQ(moved, numbered<short>(3, 1, 1, 2));
    EXPECT_EQ(taken.size() + c.size() + taken.get(0, 0, 0), 0); // empty, still safe to read
}

TEST(Volume, SamplingIsZeroOutsideAndSafeAnywhere) {
    const Volume<float> cube = numbered<float>(2, 2, 2, 1);
    const int outside[][3] = {{-1, 0, 0}, {0, -1, 0}, {0, 0, -1}, {2, 0, 0}, {1, 2, 0}, {1, 1, 2}};
    for (const auto& p : outside)
        EXPECT_EQ(cube.get(p[0], p[1], p[2]), 0.0f) << p[0] << " " << p[1] << " " << p[2];
    const Volume<float> v = numbered<float>(3, 1, 1, 1) * 10.0f;
    const float cases[][3] = {
        // x, nearest, linear
        {0, 10, 10},        {0.49f, 10, 14.9f}, {0.5f, 20, 15}, {-0.5f, 10, 5}, {-0.51f, 0, 4.9f},
        {2.49f, 30, 15.3f}, {2.5f, 0, 15},      {-1, 0, 0},     {3, 0, 0},      {NAN, 0, 0},
        {HUGE_VALF, 0, 0},  {-HUGE_VALF, 0, 0}, {3e9f, 0, 0},   {-3e9f, 0, 0},  {-2.5f, 0, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(v.nearest(c[0], 0, 0), c[1]) << c[0];
        EXPECT_NEAR(v.linear(c[0], 0, 0), c[2], 1e-4f) << c[0];
    }
    EXPECT_EQ(v.nearest(1, NAN, 0) + v.linear(tvec3<float>(1, 0, -HUGE_VALF)), 0.0f);
    // Element x + 3y + 9z: exact anywhere between the voxels; integers rounded.
    EXPECT_DOUBLE_EQ(numbered<double>(3, 3, 3).linear(1.25f, 1.5f, 1.75f), 21.5);
    EXPECT_EQ(numbered<short>(2, 1, 1, 4).linear(0.5f, 0, 0), 5);
}

TEST(Volume, ResizeKeepsContentCentred) {
    Volume<float> v = numbered<float>(2, 2, 2, 1);
    const Volume<float> original(v);
    v.resize(4, 4, 4);
    for (int i = 0; i < v.size(); ++i) {
        const int x = i % 4, y = i / 4 % 4, z = i / 16;
        EXPECT_EQ(v.data()[i], x % 3 && y % 3 && z % 3 ? original.at(x - 1, y - 1, z - 1) : 0) << i;
    }
    v.resize(2, 2, 2);
    EXPECT_THROW(v.resize(-2, 2, 2), std::bad_alloc);
    EXPECT_EQ(v, original);
    Volume<short> r = numbered<short>(2, 3, 4);
    r.resize(4, 3, 2); // same count: only relabelled
    EXPECT_EQ(r.at(3, 2, 1), 23);
    Volume<float> odd = numbered<float>(5, 1, 1);
    odd.resize(2, 1, 1); // odd shrinking cuts the smaller share first
    EXPECT_EQ(odd, numbered<float>(2, 1, 1, 1));
    odd.resize(5, 1, 1); // odd growth adds the smaller margin first: 0 1 2 0 0
    EXPECT_EQ(odd.at(1, 0, 0) * 10 + odd.at(2, 0, 0), 12.0f);
}

TEST(Volume, ArithmeticFollowsTheElementType) {
    EXPECT_EQ((Volume<unsigned char>(1, 1, 1, 250) + 10).at(0, 0, 0), 4);
    EXPECT_EQ((-Volume<unsigned char>(1, 1, 1, 250)).at(0, 0, 0), 6);
    EXPECT_EQ((Volume<short>(1, 1, 1, 32767) + 1).at(0, 0, 0), -32768);
    EXPECT_EQ((Volume<short>(1, 1, 1, -32768) - 1).at(0, 0, 0), 32767);
    EXPECT_EQ((Volume<short>(1, 1, 1, -32768) / short(-1) / short(2)).at(0, 0, 0), -16384);
    const Volume<unsigned short> big(1, 1, 1, 65535);
    EXPECT_EQ((big * (big - 1)).at(0, 0, 0), 2); // no int overflow on the way
    const Volume<float> f(3, 2, 2, 3.0f);
    EXPECT_EQ(((f + f) * 2.0f - f) / f, Volume<float>(3, 2, 2, 3.0f));
    EXPECT_NE(Volume<float>(1, 1, 1, NAN), Volume<float>(1, 1, 1, NAN));
    Volume<short> s(1, 1, 1, 9);
    EXPECT_THROW(s /= 0, std::domain_error);
    EXPECT_THROW(s / Volume<short>(1, 1, 1), std::domain_error);
    EXPECT_EQ(s.at(0, 0, 0), 9);
    EXPECT_THROW(f + Volume<float>(2, 2, 3), std::invalid_argument);
    std::ostringstream out;
    out << numbered<short>(4, 1, 4) << "|" << Volume<float>();
    EXPECT_EQ(out.str(), "volume (4x1x4):\n  slice 0:\n    [0 1 ... 3]\n  slice 1:\n    [4 5 ... 7]"
                         "\n   ...\n  slice 3:\n    [12 13 ... 15]|empty volume");
}

} // namespace
