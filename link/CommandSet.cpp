// The command set: request builders that read the settings controls, and the dispatcher that
// acts on every good answer by its code alone.
#include "link/AnswerDecode.h"
#include "link/Encodings.h"
#include "link/ModBus.h"

void TMB::SendPeriod() {
    const PeriodValues v = view_.Period();
    const std::vector<uint8_t> p = SetPeriodPayload(v.hours, v.minutes);
    SendRequest2(Request::SetPeriod, p[0], p[1]);
}

void TMB::SendMeasureParams() {
    const ParamsValues v = view_.MeasureParams();
    SendRequest(Request::SetParams,
                SetParamsPayload(v.freqHz, v.volts, v.latencyMs, v.repeat, v.twoElectrodes));
}

void TMB::SendFreqParams() {
    const FreqParamsValues v = view_.FreqParams();
    SendRequest(Request::SetFreqParams,
                SetFreqParamsPayload(v.begFreqHz, v.endFreqHz, v.multiplier, v.volts, v.board,
                                     v.channel, v.repeat, v.twoElectrodes));
}

void TMB::SendElectrodeMask() {
    SendRequest(Request::SetMask,
                SetMaskPayload(std::span<const uint16_t, 8>(electrodeMask_.data(), 8)));
}

void TMB::SendReportSettings() {
    const ReportSettingsValues v = view_.ReportSettings();
    const std::vector<uint8_t> p = SetGprsReportPayload(v.hour, v.minute, v.retries);
    SendRequest3(Request::SetGprsReport, p[0], p[1], p[2]);
}

void TMB::SendClock() {
    const ClockFields c = ParseClockText(view_.DeviceClockText(), view_.Format());
    SendRequest(Request::SetTime,
                SetTimePayload(c.year, c.month, c.day, c.hour, c.minute, c.second));
}

void TMB::SendGprsNet() {
    const GprsNetValues v = view_.GprsNet();
    SendRequest(Request::SetGprsNet, SetGprsNetPayload(v.apn, v.serverIp));
}

void TMB::SendDownloadRequest(int64_t first, int64_t amount) {
    SendRequest(Request::Download, DownloadPayload(first, amount));
    view_.DownloadRequested(first, amount);
}

void TMB::DecodeMeasurement() {
    const DecodedMeasurement m = ::DecodeMeasurement(rx_.RxData.data(), year_.Current());
    working_ = m.values;
    measRecord_ = m.record;
}

void TMB::ShowMeasurement() {
    view_.ShowMeasurement(MeasurementTexts(working_, view_.Format()));
}

void TMB::ShowSweepPoint() {
    view_.ShowSweepPoint(SweepPointTexts(working_, view_.Format()));
}

void TMB::DispatchAnswer() {
    // Every decoder reads fixed positions; an answer shorter than that would be completed with
    // bytes an earlier answer left behind (a download item would come out as a copy of the one
    // before), so it is dropped like a damaged one.
    const int needed = AnswerDataSize(rx_.RxCmd);
    const int carried = rx_.RxLength - 3;
    if (carried < needed) {
        DropAnswer(LinkHealth::Cause::Short, QString("short answer %1: %2 of %3 data bytes")
                                                 .arg(rx_.RxCmd)
                                                 .arg(carried)
                                                 .arg(needed));
        return;
    }
    if (health_.GoodAnswer())
        view_.ShowLinkHealth(health_);
    Status("OK");
    const uint8_t* d = rx_.RxData.data();
    switch (static_cast<Answer>(rx_.RxCmd)) {
    case Answer::Measurement: // a measurement, sent while measuring
        DecodeMeasurement();
        ShowMeasurement();
        view_.AddRecord(measRecord_);
        break;
    case Answer::SweepPoint: // a sweep point: shown, not buffered, kept with its sweep
        working_ = DecodeSweepPoint(d, working_);
        ShowSweepPoint();
        view_.SweepPointDecoded(working_);
        break;
    case Answer::DownloadItem: // one downloaded item
        DecodeMeasurement();
        view_.AddDownloadedRecord(measRecord_);
        view_.ShowDownloadedCount(measRecord_.Counter);
        break;
    case Answer::DataSize:
        dataSize_ = DecodeDataSize(d);
        view_.ShowDataSize(*dataSize_);
        break;
    case Answer::MemoryCleared:
        Status("Reset memory");
        break;
    case Answer::MeasureState:
        Status(MeasureStateText(d));
        break;
    case Answer::FreqParams: {
        Status("Freq. Measure params");
        view_.ShowFreqParams(DecodeFreqParams(d));
        view_.FreqParamsExchanged(ReadFreqParamsCodes(d));
        break;
    }
    case Answer::ReportForced:
        Status("GPRS Report Forced");
        break;
    case Answer::ReportSettings: {
        Status("GPRS Reporting Settings");
        view_.ShowReportSettings(DecodeReportSettings(d));
        break;
    }
    case Answer::GprsNet: {
        Status("GPRS Settings");
        view_.ShowGprsNet(DecodeGprsNet(d));
        break;
    }
    case Answer::Time:
        Status("System Time");
        view_.ShowDeviceClock(ClockAnswerText(d, view_.Format()));
        break;
    case Answer::Mask: {
        Status("Electrode mask");
        const std::array<uint16_t, 16> masks = DecodeMasks(d);
        for (size_t i = 0; i < masks.size(); ++i) {
            electrodeMask_[i] = masks[i];
            view_.ShowBoardMask();
        }
        break;
    }
    case Answer::Params: {
        Status("Measure params");
        view_.ShowParams(DecodeParams(d));
        break;
    }
    case Answer::Period: {
        Status("Measure period");
        view_.ShowPeriod(DecodePeriod(d));
        break;
    }
    case Answer::Version:
        view_.ShowVersion(VersionText(d));
        break;
    default: // unknown codes: "OK" and nothing else
        break;
    }
}

void TMB::ReportItem(std::span<const uint8_t, ReportParser::ItemSize> item) {
    view_.CountReportItem();
    // A remote logger must not be able to flood the operator with messages: an item whose date
    // cannot exist, or whose board or channel the logger lacks, is dropped and counted where the
    // operator sees it.
    const Result<DecodedMeasurement> m = DecodeReportItem(item, year_.Current());
    if (!m) {
        view_.CountDroppedReportItem();
        return;
    }
    working_ = m->values;
    measRecord_ = m->record;
    view_.AddReportedRecord(measRecord_);
}
