#pragma once
// The logger emulator's core on a still clock, driven through the console's own request
// builders, frame receiver and decoders into a SweepRecorder: a sweep end to end without a
// terminal.
#include <cstdint>
#include <vector>

#include <QDateTime>

#include "link/AnswerDecode.h"
#include "records/MeasDecode.h"
#include "sweep/SweepRecorder.h"
#include "tools/logger/LoggerTestUtil.h"

struct SweepRequest {
    double beginHz = 100, endHz = 20000, multiplier = 2.0, volts = 0.1;
    int board = 1, channel = 1, repeat = 1; // 1-based, as the controls hold them
};

struct EmulatedSweeps {
    logger::LoggerClock clock{1.0, [] { return int64_t{0}; }};
    logger::ImpedanceSynth synth;
    logger::LoggerCore core{clock, synth};
    AnswerCollector answers;
    QDateTime now = QDateTime(QDate(2024, 6, 1), QTime(12, 0), Qt::UTC);
    SweepRecorder recorder{[this] { return now; }};

    explicit EmulatedSweeps(uint64_t seed) : synth(seed) {
        // The daily drift changes the electrodes: the same time gives the same sweeps.
        clock.Set(logger::CalendarTime(2024, 6, 1, 12, 0, 0));
        core.onAnswer = [this](const std::vector<uint8_t>& frame) { answers.Feed(frame); };
    }

    // Sends the settings, then "Start"; every answer goes to the recorder as the console's
    // dispatcher would hand it on. Returns the sweep's index.
    int Run(const SweepRequest& r) {
        const std::vector<uint8_t> settings = SetFreqParamsPayload(
            r.beginHz, r.endHz, r.multiplier, r.volts, r.board, r.channel, r.repeat, false);
        recorder.SettingsExchanged(*SweepSettingsFromWire(settings));
        Send(Request::SetFreqParams, settings);
        recorder.StartSent();
        const int sweep = recorder.Running();
        Send(Request::StartFreqMeasure, {});
        return sweep;
    }

private:
    void Send(Request code, const std::vector<uint8_t>& payload) {
        answers.frames.clear();
        for (uint8_t b : frame::Build(frame::RequestStart, CodeOf(code), payload))
            core.Receive(b);
        for (const AnswerFrame& a : answers.frames) {
            now = now.addMSecs(15); // about one answer's time at 9600 baud
            if (a.code == CodeOf(Answer::SweepPoint))
                recorder.PointDecoded(DecodeSweepPoint(a.data.data()));
            else if (a.code == CodeOf(Answer::FreqParams))
                recorder.SettingsExchanged(*SweepSettingsFromWire(a.data));
        }
    }
};
