// The window's side of ConsoleView: the settings controls the link reads, and the controls it
// shows the logger's answers in.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

#include "app/ImpixMain.h"
#include "widgets/SpinEdit.h"

PeriodValues TFImpixMain::Period() const {
    return {C<SpinEdit>("PerHourEd")->Value(), C<SpinEdit>("PerMinEd")->Value()};
}

ParamsValues TFImpixMain::MeasureParams() const {
    ParamsValues v;
    v.freqHz = C<SpinEdit>("FreqEd")->Value();
    v.volts = C<SpinEdit>("VoltageEd")->Value();
    v.latencyMs = C<SpinEdit>("LatEd")->Value();
    v.repeat = C<SpinEdit>("RepEd")->Value();
    v.twoElectrodes = C<QCheckBox>("MeasTypeChck")->isChecked();
    return v;
}

FreqParamsValues TFImpixMain::FreqParams() const {
    FreqParamsValues v;
    v.begFreqHz = C<SpinEdit>("BegFreqEd")->Value();
    v.endFreqHz = C<SpinEdit>("EndFreqEd")->Value();
    v.multiplier = C<SpinEdit>("FreqMultEd")->Value();
    v.volts = C<SpinEdit>("FreqVoltageEd")->Value();
    v.board = C<SpinEdit>("FBrdEd")->Value();
    v.channel = C<SpinEdit>("FChnlEd")->Value();
    v.repeat = C<SpinEdit>("FRepEd")->Value();
    v.twoElectrodes = C<QCheckBox>("FMeasTypeChck")->isChecked();
    return v;
}

ReportSettingsValues TFImpixMain::ReportSettings() const {
    return {C<SpinEdit>("RepHourEd")->Value(), C<SpinEdit>("RepMinEd")->Value(),
            C<SpinEdit>("RetryRepEd")->Value()};
}

GprsNetValues TFImpixMain::GprsNet() const {
    return {C<QLineEdit>("APNEd")->text(), C<QLineEdit>("ServIPEd")->text()};
}

QString TFImpixMain::DeviceClockText() const {
    return C<QLineEdit>("ClockEd")->text();
}

void TFImpixMain::ShowPeriod(const PeriodValues& v) {
    C<SpinEdit>("PerHourEd")->SetValue(v.hours);
    C<SpinEdit>("PerMinEd")->SetValue(v.minutes);
}

void TFImpixMain::ShowParams(const ParamsValues& v) {
    C<SpinEdit>("FreqEd")->SetValue(v.freqHz);
    C<SpinEdit>("VoltageEd")->SetValue(v.volts);
    C<SpinEdit>("LatEd")->SetValue(v.latencyMs);
    C<SpinEdit>("RepEd")->SetValue(v.repeat);
    C<QCheckBox>("MeasTypeChck")->setChecked(v.twoElectrodes);
}

void TFImpixMain::ShowFreqParams(const FreqParamsValues& v) {
    C<SpinEdit>("BegFreqEd")->SetValue(v.begFreqHz);
    C<SpinEdit>("EndFreqEd")->SetValue(v.endFreqHz);
    C<SpinEdit>("FreqMultEd")->SetValue(v.multiplier);
    C<SpinEdit>("FreqVoltageEd")->SetValue(v.volts);
    C<SpinEdit>("FBrdEd")->SetValue(v.board);
    C<SpinEdit>("FChnlEd")->SetValue(v.channel);
    C<SpinEdit>("FRepEd")->SetValue(v.repeat);
    C<QCheckBox>("FMeasTypeChck")->setChecked(v.twoElectrodes);
}

void TFImpixMain::ShowReportSettings(const ReportSettingsValues& v) {
    C<SpinEdit>("RepHourEd")->SetValue(v.hour);
    C<SpinEdit>("RepMinEd")->SetValue(v.minute);
    C<SpinEdit>("RetryRepEd")->SetValue(v.retries);
}

void TFImpixMain::ShowGprsNet(const GprsNetValues& v) {
    C<QLineEdit>("APNEd")->setText(v.apn);
    C<QLineEdit>("ServIPEd")->setText(v.serverIp);
}

void TFImpixMain::ShowDeviceClock(const QString& text) {
    C<QLineEdit>("ClockEd")->setText(text);
}

void TFImpixMain::ShowVersion(const QString& text) {
    C<QLabel>("VersionTx")->setText(text);
}

void TFImpixMain::ShowDataSize(int64_t items) {
    C<QLabel>("SizeTx")->setText(QString::number(items));
}

void TFImpixMain::ShowDownloadedCount(int64_t counter) {
    C<QLabel>("AmountTx")->setText(QString::number(counter));
}

void TFImpixMain::ShowMeasurement(const MeasurementLabels& t) {
    C<QLabel>("BrdTx")->setText(t.BrdTx);
    C<QLabel>("ChTx")->setText(t.ChTx);
    C<QLabel>("RangeTx")->setText(t.RangeTx);
    C<QLabel>("RealTx")->setText(t.RealTx);
    C<QLabel>("ImagTx")->setText(t.ImagTx);
    C<QLabel>("CntTx")->setText(t.CntTx);
    C<QLabel>("TimeLabel")->setText(t.TimeLabel);
}

void TFImpixMain::ShowSweepPoint(const SweepPointLabels& t) {
    C<QLabel>("FFreqTx")->setText(t.FFreqTx);
    C<QLabel>("FRangeTx")->setText(t.FRangeTx);
    C<QLabel>("FRxTx")->setText(t.FRxTx);
    C<QLabel>("FXxTx")->setText(t.FXxTx);
}

void TFImpixMain::ShowStatus(const QString& text) {
    C<QLabel>("ComStatusTx")->setText(text);
}
