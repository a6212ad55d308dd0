#pragma once
// One decoded measurement, stored as its 40-byte little-endian image in the record streams and
// in BinConv.dat; the layout is fixed and checked at compile time.
#include <bit>
#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)
struct TMeasRecord {
    int32_t Board = 0;   // 0-based
    int32_t Channel = 0; // 0-based
    int32_t Range = 0;   // 0..3
    double Xx = 0;       // reactance; 65535 marks an overflow
    double Rx = 0;       // resistance; 65535 marks an overflow
    int32_t Counter = 0; // the logger's measurement number, 24 bits
    double Time = 0;     // days since 30 December 1899, fraction = time of day
};
#pragma pack(pop)

static_assert(std::endian::native == std::endian::little, "records are stored little-endian");
static_assert(sizeof(TMeasRecord) == 40);
static_assert(offsetof(TMeasRecord, Board) == 0);
static_assert(offsetof(TMeasRecord, Channel) == 4);
static_assert(offsetof(TMeasRecord, Range) == 8);
static_assert(offsetof(TMeasRecord, Xx) == 12);
static_assert(offsetof(TMeasRecord, Rx) == 20);
static_assert(offsetof(TMeasRecord, Counter) == 28);
static_assert(offsetof(TMeasRecord, Time) == 32);

constexpr int RecordSize = 40;
// The logger as the console addresses it: boards 1 to 8 of sixteen channels each (0 to 7 and 0 to
// 15 as stored), although the record's fields could hold more.
constexpr int LoggerBoards = 8;
constexpr int BoardChannels = 16;
constexpr double OverflowValue = 65535.0;
