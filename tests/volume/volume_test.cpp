#include "volume/volume.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using glm::tvec3;

TEST(Volume, SizesAreCheckedAndElementsZeroed) {
    Volume<short> v(2, 3, 4);
    EXPECT_EQ(v.sizeInBytes(), 48);
    EXPECT_EQ(v, Volume<short>(tvec3<int>(2, 3, 4), 0));
    // A negative dimension, or a count or byte size beyond int, must not allocate wrongly.
    for (const tvec3<int> d :
         {tvec3<int>(-1, 2, 2), {-1, -1, 1}, {65536, 65536, 1}, {1 << 15, 1 << 14, 2}})
        EXPECT_THROW(Volume<float>{d}, std::bad_alloc) << d.x << " " << d.y << " " << d.z;
    // A moved-from volume is empty and still safe to read.
    Volume<short> taken(std::move(v));
    EXPECT_EQ(v.size(), 0);
    EXPECT_EQ(v.get(0, 0, 0), 0);
}

TEST(Volume, SamplingIsZeroOutsideAndSafeAnywhere) {
    Volume<float> v(3, 1, 1);
    for (int i = 0; i < 3; ++i)
        v.data()[i] = 10.0f * (i + 1);
    for (int x : {-1, 3, INT_MIN, INT_MAX})
        EXPECT_EQ(v.get(x, 0, 0), 0.0f) << x;
    const struct {
        float x, nearest, linear;
    } cases[] = {
        {0, 10, 10},       {0.49f, 10, 14.9f}, {0.5f, 20, 15},    {-0.5f, 10, 5},
        {-0.51f, 0, 4.9f}, {2.49f, 30, 15.3f}, {2.5f, 0, 15},     {-1, 0, 0},
        {3, 0, 0},         {NAN, 0, 0},        {HUGE_VALF, 0, 0}, {-HUGE_VALF, 0, 0},
        {3e9f, 0, 0},      {-3e9f, 0, 0},      {1e38f, 0, 0},     {-2.5f, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(v.nearest(c.x, 0, 0), c.nearest) << c.x;
        EXPECT_NEAR(v.linear(c.x, 0, 0), c.linear, 1e-4f) << c.x;
    }
    EXPECT_EQ(v.nearest(1, NAN, 0), 0.0f);
    EXPECT_EQ(v.linear(tvec3<float>(1, 0, -HUGE_VALF)), 0.0f);
    Volume<double> cube(2, 2, 2);
    for (int i = 0; i < 8; ++i)
        cube.data()[i] = i;
    EXPECT_DOUBLE_EQ(cube.linear(0.5f, 0.5f, 0.5f), 3.5);
}

TEST(Volume, ResizeKeepsContentCentred) {
    Volume<float> v(2, 2, 2);
    for (int i = 0; i < 8; ++i)
        v.data()[i] = float(i + 1);
    const Volume<float> original(v);
    v.resize(4, 4, 4);
    for (int z = 0; z < 4; ++z)
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                EXPECT_EQ(v.at(x, y, z),
                          x % 3 && y % 3 && z % 3 ? original.at(x - 1, y - 1, z - 1) : 0.0f);
    v.resize(2, 2, 2);
    EXPECT_EQ(v, original);
    EXPECT_THROW(v.resize(-2, 2, 2), std::bad_alloc);
    EXPECT_EQ(v, original);
    Volume<short> r(2, 3, 4);
    for (int i = 0; i < r.size(); ++i)
        r.data()[i] = short(i);
    r.resize(4, 3, 2); // same count: only relabelled
    EXPECT_EQ(r.at(3, 2, 1), 23);
    Volume<float> odd(5, 1, 1);
    for (int i = 0; i < 5; ++i)
        odd.data()[i] = float(i);
    odd.resize(2, 1, 1); // odd shrinking cuts the smaller share first: 1 2
    EXPECT_EQ(odd.at(0, 0, 0) * 10 + odd.at(1, 0, 0), 12.0f);
    odd.resize(5, 1, 1); // odd growth adds the smaller margin first: 0 1 2 0 0
    EXPECT_EQ(odd.at(1, 0, 0) * 10 + odd.at(2, 0, 0), 12.0f);
}

TEST(Volume, ArithmeticFollowsTheElementType) {
    EXPECT_EQ((Volume<unsigned char>(1, 1, 1, 250) + 10).at(0, 0, 0), 4);
    EXPECT_EQ((-Volume<unsigned char>(1, 1, 1, 250)).at(0, 0, 0), 6);
    EXPECT_EQ((Volume<short>(1, 1, 1, 32767) + 1).at(0, 0, 0), -32768);
    EXPECT_EQ((Volume<short>(1, 1, 1, -32768) / short(-1)).at(0, 0, 0), -32768);
    const Volume<unsigned short> big(1, 1, 1, 65535);
    EXPECT_EQ((big * big).at(0, 0, 0), 1); // no int overflow on the way
    Volume<float> f(3, 2, 2, 3.0f);
    EXPECT_EQ((f * 2.0f - f) / f, Volume<float>(3, 2, 2, 1.0f));
    f.at(1, 1, 1) = NAN;
    EXPECT_NE(f, f);
    Volume<short> s(1, 1, 1, 9);
    EXPECT_THROW(s /= 0, std::domain_error);
    EXPECT_THROW(s / Volume<short>(1, 1, 1), std::domain_error);
    EXPECT_EQ(s.at(0, 0, 0), 9);
    EXPECT_THROW(f + Volume<float>(2, 2, 3), std::invalid_argument);
}

} // namespace
