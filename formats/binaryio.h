#pragma once
// Fixed-width little-endian values in byte buffers, the same on any host: bytes are assembled
// explicitly and reinterpreted through memcpy, never through a cast pointer.

#include <cstdint>
#include <cstring>

namespace vocelle {

inline std::int16_t loadInt16LE(const unsigned char* p) {
    const int u = p[0] | (p[1] << 8);
    return static_cast<std::int16_t>((u ^ 0x8000) - 0x8000); // sign extension without a branch
}

inline std::uint32_t loadUInt32LE(const unsigned char* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

inline float loadFloat32LE(const unsigned char* p) {
    const std::uint32_t bits = loadUInt32LE(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline void storeUInt16LE(unsigned char* p, std::uint16_t v) {
    p[0] = static_cast<unsigned char>(v & 0xFF);
    p[1] = static_cast<unsigned char>(v >> 8);
}

inline void storeUInt32LE(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v & 0xFF);
    p[1] = static_cast<unsigned char>((v >> 8) & 0xFF);
    p[2] = static_cast<unsigned char>((v >> 16) & 0xFF);
    p[3] = static_cast<unsigned char>(v >> 24);
}

inline void storeFloat32LE(unsigned char* p, float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    storeUInt32LE(p, bits);
}

} // namespace vocelle
