#pragma once
// Multi-byte numbers as the logger's frames carry them: big-endian, except the channel masks,
// the second of the day and a measurement's counter, which are little-endian. Two-byte fields
// go through Qt's endian helpers; Qt has none for the three-byte fields, so they are here, for
// the console and the logger emulator alike.
#include <QtEndian>
#include <cstdint>
#include <vector>

inline uint32_t ReadBig24(const uint8_t* p) {
    return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
}

inline uint32_t ReadLittle24(const uint8_t* p) {
    return uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
}

inline void WriteBig24(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 16);
    qToBigEndian(static_cast<uint16_t>(v), p + 1);
}

inline void WriteLittle24(uint8_t* p, uint32_t v) {
    qToLittleEndian(static_cast<uint16_t>(v), p);
    p[2] = static_cast<uint8_t>(v >> 16);
}

inline void AppendBig24(std::vector<uint8_t>& out, uint32_t v) {
    out.resize(out.size() + 3);
    WriteBig24(out.data() + out.size() - 3, v);
}

inline void AppendBig16(std::vector<uint8_t>& out, uint16_t v) {
    out.resize(out.size() + 2);
    qToBigEndian(v, out.data() + out.size() - 2);
}

inline void AppendLittle16(std::vector<uint8_t>& out, uint16_t v) {
    out.resize(out.size() + 2);
    qToLittleEndian(v, out.data() + out.size() - 2);
}
