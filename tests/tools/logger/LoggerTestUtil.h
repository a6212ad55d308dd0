#pragma once
// A logger core on a hand-driven clock, with its answers collected as frames.
#include <cstdint>
#include <span>
#include <vector>

#include <QString>
#include <QStringList>

#include "link/Frame.h"
#include "link/ProtocolCodes.h"
#include "records/MeasRecord.h"
#include "tools/logger/ImpedanceSynth.h"
#include "tools/logger/LoggerClock.h"
#include "tools/logger/LoggerCore.h"

// The fields of a packed record as plain values: the test macros bind references, which a packed
// member cannot safely give.
struct PlainRecord {
    int32_t Board, Channel, Range;
    double Xx, Rx;
    int32_t Counter;
    double Time;
};
inline PlainRecord Plain(const TMeasRecord& r) {
    return {r.Board, r.Channel, r.Range, r.Xx, r.Rx, r.Counter, r.Time};
}

struct AnswerFrame {
    uint8_t code = 0;
    std::vector<uint8_t> data;
};

// Parses a byte stream of answers the way the console's receiver does.
struct AnswerCollector {
    FrameReceiver rx{frame::AnswerStart};
    std::vector<AnswerFrame> frames;
    QStringList errors;

    AnswerCollector() {
        rx.onFrame = [this] {
            frames.push_back({rx.RxCmd, std::vector<uint8_t>(rx.RxData.begin(),
                                                             rx.RxData.begin() + rx.RxLength - 3)});
        };
        rx.onError = [this](FrameError, const QString& e) { errors << e; };
    }
    void Feed(std::span<const uint8_t> bytes) {
        for (uint8_t b : bytes)
            rx.Receive(b);
    }
};

struct CoreRig {
    int64_t realMs = 0;
    logger::LoggerClock clock;
    logger::ImpedanceSynth synth{7};
    logger::LoggerCore core{clock, synth};
    AnswerCollector answers;
    QStringList log;
    int reportRequests = 0;

    explicit CoreRig(double speed = 1.0) : clock(speed, [this] { return realMs; }) {
        core.onAnswer = [this](const std::vector<uint8_t>& frame) { answers.Feed(frame); };
        core.onLog = [this](const QString& text) { log << text; };
        core.onReportRequested = [this] { ++reportRequests; };
    }

    // Sends one request frame byte by byte, as the console's sender does, and returns the
    // answers it caused.
    std::vector<AnswerFrame> Request(::Request code, std::vector<uint8_t> payload = {}) {
        return Request(CodeOf(code), std::move(payload));
    }
    std::vector<AnswerFrame> Request(uint8_t code, std::vector<uint8_t> payload = {}) {
        size_t before = answers.frames.size();
        for (uint8_t b : frame::Build(frame::RequestStart, code, payload))
            core.Receive(b);
        return {answers.frames.begin() + static_cast<std::ptrdiff_t>(before), answers.frames.end()};
    }
};
