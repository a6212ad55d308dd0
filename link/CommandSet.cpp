// The command set: request builders that read the settings controls, and the dispatcher that
// acts on every good answer by its code alone.
#include "base/Failure.h"
#include "link/AnswerDecode.h"
#include "link/Encodings.h"
#include "link/ModBus.h"

void TMB::SendPeriod() {
    const std::vector<uint8_t> p =
        SetPeriodPayload(view_.Value("PerHourEd"), view_.Value("PerMinEd"));
    SendRequest2(Request::SetPeriod, p[0], p[1]);
}

void TMB::SendMeasureParams() {
    SendRequest(Request::SetParams,
                SetParamsPayload(view_.Value("FreqEd"), view_.Value("VoltageEd"),
                                 view_.Value("LatEd"), view_.Value("RepEd"),
                                 view_.Checked("MeasTypeChck")));
}

void TMB::SendFreqParams() {
    SendRequest(Request::SetFreqParams,
                SetFreqParamsPayload(view_.Value("BegFreqEd"), view_.Value("EndFreqEd"),
                                     view_.Value("FreqMultEd"), view_.Value("FreqVoltageEd"),
                                     view_.Value("FBrdEd"), view_.Value("FChnlEd"),
                                     view_.Value("FRepEd"), view_.Checked("FMeasTypeChck")));
}

void TMB::SendElectrodeMask() {
    SendRequest(Request::SetMask,
                SetMaskPayload(std::span<const uint16_t, 8>(electrodeMask_.data(), 8)));
}

void TMB::SendReportSettings() {
    const std::vector<uint8_t> p = SetGprsReportPayload(
        view_.Value("RepHourEd"), view_.Value("RepMinEd"), view_.Value("RetryRepEd"));
    SendRequest3(Request::SetGprsReport, p[0], p[1], p[2]);
}

void TMB::SendClock() {
    const ClockFields c = ParseClockText(view_.Text("ClockEd"), view_.Format());
    SendRequest(Request::SetTime,
                SetTimePayload(c.year, c.month, c.day, c.hour, c.minute, c.second));
}

void TMB::SendGprsNet() {
    SendRequest(Request::SetGprsNet,
                SetGprsNetPayload(view_.Text("APNEd"), view_.Text("ServIPEd")));
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
    const MeasurementLabels t = MeasurementTexts(working_, view_.Format());
    view_.SetText("BrdTx", t.BrdTx);
    view_.SetText("ChTx", t.ChTx);
    view_.SetText("RangeTx", t.RangeTx);
    view_.SetText("RealTx", t.RealTx);
    view_.SetText("ImagTx", t.ImagTx);
    view_.SetText("CntTx", t.CntTx);
    view_.SetText("TimeLabel", t.TimeLabel);
}

void TMB::ShowSweepPoint() {
    const SweepPointLabels t = SweepPointTexts(working_, view_.Format());
    view_.SetText("FFreqTx", t.FFreqTx);
    view_.SetText("FRangeTx", t.FRangeTx);
    view_.SetText("FRxTx", t.FRxTx);
    view_.SetText("FXxTx", t.FXxTx);
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
        view_.SetText("AmountTx", QString::number(measRecord_.Counter));
        break;
    case Answer::DataSize:
        dataSize_ = DecodeDataSize(d);
        view_.SetText("SizeTx", QString::number(*dataSize_));
        break;
    case Answer::MemoryCleared:
        Status("Reset memory");
        break;
    case Answer::MeasureState:
        Status(MeasureStateText(d));
        break;
    case Answer::FreqParams: {
        Status("Freq. Measure params");
        const FreqParamsValues v = DecodeFreqParams(d);
        view_.SetValue("BegFreqEd", v.begFreqHz);
        view_.SetValue("EndFreqEd", v.endFreqHz);
        view_.SetValue("FreqMultEd", v.multiplier);
        view_.SetValue("FreqVoltageEd", v.volts);
        view_.SetValue("FBrdEd", v.board);
        view_.SetValue("FChnlEd", v.channel);
        view_.SetValue("FRepEd", v.repeat);
        view_.SetChecked("FMeasTypeChck", v.twoElectrodes);
        view_.FreqParamsExchanged(ReadFreqParamsCodes(d));
        break;
    }
    case Answer::ReportForced:
        Status("GPRS Report Forced");
        break;
    case Answer::ReportSettings: {
        Status("GPRS Reporting Settings");
        const ReportSettingsValues v = DecodeReportSettings(d);
        view_.SetValue("RepHourEd", v.hour);
        view_.SetValue("RepMinEd", v.minute);
        view_.SetValue("RetryRepEd", v.retries);
        break;
    }
    case Answer::GprsNet: {
        Status("GPRS Settings");
        const GprsNetValues v = DecodeGprsNet(d);
        view_.SetText("APNEd", v.apn);
        view_.SetText("ServIPEd", v.serverIp);
        break;
    }
    case Answer::Time:
        Status("System Time");
        view_.SetText("ClockEd", ClockAnswerText(d, view_.Format()));
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
        const ParamsValues v = DecodeParams(d);
        view_.SetValue("FreqEd", v.freqHz);
        view_.SetValue("VoltageEd", v.volts);
        view_.SetValue("LatEd", v.latencyMs);
        view_.SetValue("RepEd", v.repeat);
        view_.SetChecked("MeasTypeChck", v.twoElectrodes);
        break;
    }
    case Answer::Period: {
        Status("Measure period");
        const PeriodValues v = DecodePeriod(d);
        view_.SetValue("PerHourEd", v.hours);
        view_.SetValue("PerMinEd", v.minutes);
        break;
    }
    case Answer::Version:
        view_.SetText("VersionTx", VersionText(d));
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
    DecodedMeasurement m;
    try {
        m = DecodeReportItem(item, year_.Current());
    } catch (const Failure&) {
        view_.CountDroppedReportItem();
        return;
    }
    working_ = m.values;
    measRecord_ = m.record;
    view_.AddReportedRecord(measRecord_);
}
