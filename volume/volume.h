#pragma once
// Volume<T>: a dense 3-D voxel grid owning one contiguous array, x fastest:
// element (x, y, z) lives at (z * ny + y) * nx + x.
//
// Instantiated for float, double, unsigned char, unsigned short and short.
// - Every constructor that takes dimensions zeroes the elements unless given a fill value.
// - Sizes are checked once, when dimensions are set: a negative dimension, or an element count
//   or byte size beyond int, raises std::bad_array_new_length (an allocation failure), so
//   size(), sizeInBytes() and index() can never overflow.
// - get, nearest and linear are safe for any position (NaN, infinities and far coordinates
//   read as zero); at, operator[] and index trust the caller.
// - Integer element types wrap on overflow (computed wide, stored modulo 2^bits); an integer
//   division by zero throws std::domain_error; volume-with-volume operations throw
//   std::invalid_argument on unequal dimensions.

#include <glm/vec3.hpp>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <ostream>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace vocelle {

template <typename T> class Volume {
    static_assert(std::is_arithmetic<T>::value, "Volume holds numbers only");

public:
    Volume() = default;
    explicit Volume(glm::tvec3<int> dims) : Volume(dims, T(0)) {}
    Volume(int nx, int ny, int nz) : Volume(glm::tvec3<int>(nx, ny, nz), T(0)) {}
    Volume(glm::tvec3<int> dims, T value) : data_(allocate(dims)), dims_(dims) {
        const T zero{};
        if (std::memcmp(&value, &zero, sizeof(T)) != 0) setAll(value);
    }
    Volume(int nx, int ny, int nz, T value) : Volume(glm::tvec3<int>(nx, ny, nz), value) {}

    Volume(const Volume& other) : data_(allocate(other.dims_, false)), dims_(other.dims_) {
        if (other.data_) std::copy(other.data_, other.data_ + size(), data_);
    }
    // The source is left empty (0 x 0 x 0, no data), so it stays safe to use.
    Volume(Volume&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)),
          dims_(std::exchange(other.dims_, glm::tvec3<int>(0))) {}
    Volume& operator=(Volume&& other) noexcept {
        if (this != &other) {
            std::free(data_);
            data_ = std::exchange(other.data_, nullptr);
            dims_ = std::exchange(other.dims_, glm::tvec3<int>(0));
        }
        return *this;
    }
    // Reuses the array when the element count is unchanged.
    Volume& operator=(const Volume& other) {
        if (this == &other) return *this;
        if (size() != other.size()) {
            T* fresh = allocate(other.dims_, false);
            std::free(data_);
            data_ = fresh;
        }
        dims_ = other.dims_;
        if (other.data_) std::copy(other.data_, other.data_ + size(), data_);
        return *this;
    }
    ~Volume() { std::free(data_); }

    // Changes the dimensions keeping the old contents centred: per axis the shift is
    // (new - old) / 2, rounded toward zero. With an unchanged element count the array is kept
    // and only relabelled. On allocation failure the volume is left as it was.
    void resize(glm::tvec3<int> dims);
    void resize(int nx, int ny, int nz) { resize(glm::tvec3<int>(nx, ny, nz)); }

    glm::tvec3<int> dimensions() const { return dims_; }
    int nx() const { return dims_.x; }
    int ny() const { return dims_.y; }
    int nz() const { return dims_.z; }
    int size() const { return count(dims_); }
    int sizeInBytes() const { return size() * static_cast<int>(sizeof(T)); }
    T* data() { return data_; }
    const T* data() const { return data_; }

    // True when a volume of these dimensions can exist: none negative, and the element count
    // and byte size both fit in int.
    static bool validDimensions(glm::tvec3<int> dims);

    void setAll(T value) { std::fill(data_, data_ + size(), value); }
    // Copies size() elements from src; the ranges may overlap.
    void copyData(const T* src) {
        if (size() > 0) std::memmove(data_, src, static_cast<size_t>(sizeInBytes()));
    }

    int index(int x, int y, int z) const { return (z * dims_.y + y) * dims_.x + x; }
    int index(glm::tvec3<int> p) const { return index(p.x, p.y, p.z); }
    T& at(int x, int y, int z) { return data_[index(x, y, z)]; }
    const T& at(int x, int y, int z) const { return data_[index(x, y, z)]; }
    T& operator[](glm::tvec3<int> p) { return data_[index(p)]; }
    const T& operator[](glm::tvec3<int> p) const { return data_[index(p)]; }

    T get(int x, int y, int z) const {
        if (x < 0 || y < 0 || z < 0 || x >= dims_.x || y >= dims_.y || z >= dims_.z) return T(0);
        return data_[index(x, y, z)];
    }
    T get(glm::tvec3<int> p) const { return get(p.x, p.y, p.z); }
    T nearest(float x, float y, float z) const;
    T nearest(glm::tvec3<float> p) const { return nearest(p.x, p.y, p.z); }
    T linear(float x, float y, float z) const;
    T linear(glm::tvec3<float> p) const { return linear(p.x, p.y, p.z); }

    Volume operator+() const { return *this; }
    Volume operator-() const;
    Volume operator+(T s) const { Volume r(*this); r += s; return r; }
    Volume operator-(T s) const { Volume r(*this); r -= s; return r; }
    Volume operator*(T s) const { Volume r(*this); r *= s; return r; }
    Volume operator/(T s) const { Volume r(*this); r /= s; return r; }
    void operator+=(T s);
    void operator-=(T s);
    void operator*=(T s);
    void operator/=(T s);
    Volume operator+(const Volume& o) const { Volume r(*this); r += o; return r; }
    Volume operator-(const Volume& o) const { Volume r(*this); r -= o; return r; }
    Volume operator*(const Volume& o) const { Volume r(*this); r *= o; return r; }
    Volume operator/(const Volume& o) const { Volume r(*this); r /= o; return r; }
    void operator+=(const Volume& o);
    void operator-=(const Volume& o);
    void operator*=(const Volume& o);
    void operator/=(const Volume& o);

    bool operator==(const Volume& o) const;
    bool operator!=(const Volume& o) const { return !(*this == o); }

private:
    static int count(glm::tvec3<int> d) { return d.x * d.y * d.z; }
    // calloc rather than new T[n](): memory fresh from the system is known to be zero and is
    // not cleared a second time, which halves the cost of a large new volume. All five element
    // types are trivial, so raw storage is a valid array of them.
    static T* allocate(glm::tvec3<int> dims, bool zeroed = true) {
        if (!validDimensions(dims)) throw std::bad_array_new_length();
        const size_t n = std::max<size_t>(1, static_cast<size_t>(count(dims)));
        void* p = zeroed ? std::calloc(n, sizeof(T)) : std::malloc(n * sizeof(T));
        if (!p) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void requireSameDimensions(const Volume& o) const {
        if (o.dims_ != dims_) throw std::invalid_argument("Volume dimensions differ");
    }
    template <typename Op> void apply(Op op) {
        for (int i = 0, n = size(); i < n; ++i) data_[i] = op(data_[i]);
    }
    template <typename Op> void combine(const Volume& o, Op op) {
        requireSameDimensions(o);
        for (int i = 0, n = size(); i < n; ++i) data_[i] = op(data_[i], o.data_[i]);
    }

    T* data_ = nullptr;
    glm::tvec3<int> dims_{0, 0, 0};
};

template <typename T> std::ostream& operator<<(std::ostream& out, const Volume<T>& v);

namespace volume_detail {

// Integer results are computed in 64 bits and stored modulo 2^bits, so no operation of the
// narrow types overflows int first (65535 * 65535 would).
template <typename T> T wrap(long long v) {
    return static_cast<T>(static_cast<typename std::make_unsigned<T>::type>(v));
}

template <typename T> T add(T a, T b) {
    if constexpr (std::is_floating_point<T>::value) return a + b;
    else return wrap<T>(static_cast<long long>(a) + b);
}
template <typename T> T sub(T a, T b) {
    if constexpr (std::is_floating_point<T>::value) return a - b;
    else return wrap<T>(static_cast<long long>(a) - b);
}
template <typename T> T mul(T a, T b) {
    if constexpr (std::is_floating_point<T>::value) return a * b;
    else return wrap<T>(static_cast<long long>(a) * b);
}
template <typename T> T div(T a, T b) {
    if constexpr (std::is_floating_point<T>::value) return a / b;
    else return wrap<T>(static_cast<long long>(a) / b);
}
template <typename T> T neg(T a) {
    if constexpr (std::is_floating_point<T>::value) return -a;
    else return wrap<T>(-static_cast<long long>(a));
}

// Integer part of s as a grid index minus `offset`, or false when s (NaN and infinities
// included) does not fall in [offset - reach, n + offset). Tested in double before any
// conversion, so no float-to-int conversion is ever out of range.
inline bool shiftedIndex(float s, int n, int offset, int reach, int& i) {
    if (!(s >= static_cast<float>(offset - reach) &&
          static_cast<double>(s) < static_cast<double>(n) + offset))
        return false;
    i = static_cast<int>(static_cast<long long>(s) - offset);
    return true;
}

} // namespace volume_detail

template <typename T> bool Volume<T>::validDimensions(glm::tvec3<int> d) {
    if (d.x < 0 || d.y < 0 || d.z < 0) return false;
    long long n = static_cast<long long>(d.x) * d.y; // at most 2^62
    if (n > INT_MAX) return false;
    n *= d.z;
    return n <= INT_MAX / static_cast<long long>(sizeof(T));
}

template <typename T> void Volume<T>::resize(glm::tvec3<int> dims) {
    if (!validDimensions(dims)) throw std::bad_array_new_length();
    const glm::tvec3<int> old = dims_;
    if (count(dims) == count(old)) {
        dims_ = dims;
        return;
    }
    T* fresh = allocate(dims);
    if (data_) {
        const glm::tvec3<int> shift = (dims - old) / 2; // int division rounds toward zero
        // Range of old coordinates that land inside the new grid, per axis.
        glm::tvec3<int> lo, hi;
        for (int a = 0; a < 3; ++a) {
            lo[a] = std::max(0, -shift[a]);
            hi[a] = std::min(old[a], dims[a] - shift[a]);
        }
        if (lo.x < hi.x) {
            for (int z = lo.z; z < hi.z; ++z)
                for (int y = lo.y; y < hi.y; ++y) {
                    const T* from = data_ + (z * old.y + y) * old.x;
                    T* to = fresh + ((z + shift.z) * dims.y + (y + shift.y)) * dims.x + shift.x;
                    std::copy(from + lo.x, from + hi.x, to + lo.x);
                }
        }
    }
    std::free(data_);
    data_ = fresh;
    dims_ = dims;
}

template <typename T> T Volume<T>::nearest(float x, float y, float z) const {
    // Rounds halves upward: trunc(c + 2.5) - 2 equals floor(c + 0.5) wherever it can matter.
    int ix, iy, iz;
    if (!volume_detail::shiftedIndex(x + 2.5f, dims_.x, 2, 0, ix) ||
        !volume_detail::shiftedIndex(y + 2.5f, dims_.y, 2, 0, iy) ||
        !volume_detail::shiftedIndex(z + 2.5f, dims_.z, 2, 0, iz))
        return T(0);
    return get(ix, iy, iz);
}

template <typename T> T Volume<T>::linear(float x, float y, float z) const {
    // Lower corner trunc(c + 2) - 2, i.e. floor(c) wherever a corner can touch the grid; the
    // lower corner may lie one voxel before the grid.
    int ix, iy, iz;
    if (!volume_detail::shiftedIndex(x + 2.0f, dims_.x, 2, 1, ix) ||
        !volume_detail::shiftedIndex(y + 2.0f, dims_.y, 2, 1, iy) ||
        !volume_detail::shiftedIndex(z + 2.0f, dims_.z, 2, 1, iz))
        return T(0);
    // Fractions are single precision for every type; double volumes widen them afterwards.
    // Integer volumes interpolate in float and round to the nearest representable value.
    using W = typename std::conditional<std::is_same<T, double>::value, double, float>::type;
    const float fx = x - static_cast<float>(ix);
    const float fy = y - static_cast<float>(iy);
    const float fz = z - static_cast<float>(iz);
    const W wx[2] = {W(1) - W(fx), W(fx)};
    const W wy[2] = {W(1) - W(fy), W(fy)};
    const W wz[2] = {W(1) - W(fz), W(fz)};
    W sum = 0;
    for (int c = 0; c < 2; ++c)
        for (int b = 0; b < 2; ++b)
            for (int a = 0; a < 2; ++a)
                sum += W(get(ix + a, iy + b, iz + c)) * wx[a] * wy[b] * wz[c];
    if constexpr (std::is_floating_point<T>::value) {
        return static_cast<T>(sum);
    } else {
        const W lowest = static_cast<W>(std::numeric_limits<T>::lowest());
        const W highest = static_cast<W>(std::numeric_limits<T>::max());
        const W r = std::min(std::max(std::round(sum), lowest), highest);
        return static_cast<T>(r);
    }
}

template <typename T> Volume<T> Volume<T>::operator-() const {
    Volume r(*this);
    r.apply([](T a) { return volume_detail::neg(a); });
    return r;
}

template <typename T> void Volume<T>::operator+=(T s) {
    apply([s](T a) { return volume_detail::add(a, s); });
}
template <typename T> void Volume<T>::operator-=(T s) {
    apply([s](T a) { return volume_detail::sub(a, s); });
}
template <typename T> void Volume<T>::operator*=(T s) {
    apply([s](T a) { return volume_detail::mul(a, s); });
}
template <typename T> void Volume<T>::operator/=(T s) {
    if constexpr (std::is_integral<T>::value)
        if (s == 0) throw std::domain_error("Volume division by zero");
    apply([s](T a) { return volume_detail::div(a, s); });
}
template <typename T> void Volume<T>::operator+=(const Volume& o) {
    combine(o, [](T a, T b) { return volume_detail::add(a, b); });
}
template <typename T> void Volume<T>::operator-=(const Volume& o) {
    combine(o, [](T a, T b) { return volume_detail::sub(a, b); });
}
template <typename T> void Volume<T>::operator*=(const Volume& o) {
    combine(o, [](T a, T b) { return volume_detail::mul(a, b); });
}
template <typename T> void Volume<T>::operator/=(const Volume& o) {
    requireSameDimensions(o);
    if constexpr (std::is_integral<T>::value)
        if (std::find(o.data_, o.data_ + o.size(), T(0)) != o.data_ + o.size())
            throw std::domain_error("Volume division by zero");
    combine(o, [](T a, T b) { return volume_detail::div(a, b); });
}

template <typename T> bool Volume<T>::operator==(const Volume& o) const {
    if (dims_ != o.dims_) return false;
    for (int i = 0, n = size(); i < n; ++i)
        if (!(data_[i] == o.data_[i])) return false;
    return true;
}

namespace volume_detail {

template <typename T> void printElement(std::ostream& out, T v) {
    if constexpr (std::is_same<T, unsigned char>::value) out << v; // the byte itself
    else if constexpr (std::is_integral<T>::value) out << static_cast<int>(v);
    else out << v;
}

// Calls show(i) for the indices 0, 1, then 2 (n == 3) or marker() and n - 1 (n > 3).
template <typename Show, typename Marker> void selectIndices(int n, Show show, Marker marker) {
    for (int i = 0; i < n && i < 2; ++i) show(i);
    if (n == 3) show(2);
    if (n > 3) {
        marker();
        show(n - 1);
    }
}

} // namespace volume_detail

template <typename T> std::ostream& operator<<(std::ostream& out, const Volume<T>& v) {
    if (v.size() == 0) return out << "empty volume";
    out << "volume (" << v.nx() << "x" << v.ny() << "x" << v.nz() << "):";
    volume_detail::selectIndices(
        v.nz(),
        [&](int z) {
            out << "\n  slice " << z << ":";
            volume_detail::selectIndices(
                v.ny(),
                [&](int y) {
                    out << "\n    [";
                    bool first = true;
                    volume_detail::selectIndices(
                        v.nx(),
                        [&](int x) {
                            if (!first) out << " ";
                            first = false;
                            volume_detail::printElement(out, v.at(x, y, z));
                        },
                        [&] { out << " ..."; });
                    out << "]";
                },
                [&] { out << "\n     ..."; });
        },
        [&] { out << "\n   ..."; });
    return out;
}

extern template class Volume<float>;
extern template class Volume<double>;
extern template class Volume<unsigned char>;
extern template class Volume<unsigned short>;
extern template class Volume<short>;

} // namespace vocelle
