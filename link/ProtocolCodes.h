#pragma once
// The codes of the logger's requests and answers, named once for the console, the logger
// emulator and the tests. A read request n is answered by 255 - n; the codes below 128 that are
// not such a pair (measurements, sweep points, downloads, the memory's state) are sent while
// the logger works or answer one of its actions.
#include <cstdint>

enum class Request : uint8_t {
    GetVersion = 0,
    GetPeriod = 1,
    GetParams = 2,
    GetMask = 3,
    GetTime = 4,
    GetGprsNet = 5,
    GetGprsReport = 6,
    ForceGprsReport = 7,
    GetFreqParams = 8,
    SetPeriod = 128,
    SetParams = 129,
    SetMask = 130,
    StartMeasure = 131,
    StopMeasure = 132,
    ClearMemory = 133,
    GetDataSize = 134,
    Download = 135,
    SetTime = 136,
    SetGprsNet = 137,
    SetGprsReport = 138,
    StartFreqMeasure = 139,
    SetFreqParams = 140,
};

enum class Answer : uint8_t {
    Measurement = 5, // sent while measuring
    SweepPoint = 6,  // sent while sweeping
    DownloadItem = 120,
    DataSize = 121,
    MemoryCleared = 122,
    MeasureState = 124, // to StartMeasure and StopMeasure
    FreqParams = 247,
    ReportForced = 248,
    ReportSettings = 249,
    GprsNet = 250,
    Time = 251,
    Mask = 252,
    Params = 253,
    Period = 254,
    Version = 255,
};

constexpr uint8_t CodeOf(Request r) {
    return static_cast<uint8_t>(r);
}
constexpr uint8_t CodeOf(Answer a) {
    return static_cast<uint8_t>(a);
}

// The answer the protocol pairs with a request: 255 - its code (122, 121 and 120 for
// ClearMemory, GetDataSize and Download).
constexpr Answer AnswerTo(Request r) {
    return static_cast<Answer>(255 - CodeOf(r));
}
static_assert(AnswerTo(Request::GetPeriod) == Answer::Period);
static_assert(AnswerTo(Request::Download) == Answer::DownloadItem);
