// The window's side of ConsoleView: the settings controls the link reads, and the controls it
// shows the logger's answers in.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

#include "app/ImpixMain.h"
#include "app/features/DownloadController.h"
#include "link/LinkHealth.h"
#include "widgets/SpinEdit.h"

PeriodValues TFImpixMain::Period() const {
    return {measure_.PerHourEd->Value(), measure_.PerMinEd->Value()};
}

ParamsValues TFImpixMain::MeasureParams() const {
    ParamsValues v;
    v.freqHz = measure_.FreqEd->Value();
    v.volts = measure_.VoltageEd->Value();
    v.latencyMs = measure_.LatEd->Value();
    v.repeat = measure_.RepEd->Value();
    v.twoElectrodes = measure_.MeasTypeChck->isChecked();
    return v;
}

FreqParamsValues TFImpixMain::FreqParams() const {
    FreqParamsValues v;
    v.begFreqHz = freqRange_.BegFreqEd->Value();
    v.endFreqHz = freqRange_.EndFreqEd->Value();
    v.multiplier = freqRange_.FreqMultEd->Value();
    v.volts = freqRange_.FreqVoltageEd->Value();
    v.board = freqRange_.FBrdEd->Value();
    v.channel = freqRange_.FChnlEd->Value();
    v.repeat = freqRange_.FRepEd->Value();
    v.twoElectrodes = freqRange_.FMeasTypeChck->isChecked();
    return v;
}

ReportSettingsValues TFImpixMain::ReportSettings() const {
    return {systemConfig_.RepHourEd->Value(), systemConfig_.RepMinEd->Value(),
            systemConfig_.RetryRepEd->Value()};
}

GprsNetValues TFImpixMain::GprsNet() const {
    return {systemConfig_.APNEd->text(), systemConfig_.ServIPEd->text()};
}

QString TFImpixMain::DeviceClockText() const {
    return systemConfig_.ClockEd->text();
}

void TFImpixMain::ShowPeriod(const PeriodValues& v) {
    measure_.PerHourEd->SetValue(v.hours);
    measure_.PerMinEd->SetValue(v.minutes);
}

void TFImpixMain::ShowParams(const ParamsValues& v) {
    measure_.FreqEd->SetValue(v.freqHz);
    measure_.VoltageEd->SetValue(v.volts);
    measure_.LatEd->SetValue(v.latencyMs);
    measure_.RepEd->SetValue(v.repeat);
    measure_.MeasTypeChck->setChecked(v.twoElectrodes);
}

void TFImpixMain::ShowFreqParams(const FreqParamsValues& v) {
    freqRange_.BegFreqEd->SetValue(v.begFreqHz);
    freqRange_.EndFreqEd->SetValue(v.endFreqHz);
    freqRange_.FreqMultEd->SetValue(v.multiplier);
    freqRange_.FreqVoltageEd->SetValue(v.volts);
    freqRange_.FBrdEd->SetValue(v.board);
    freqRange_.FChnlEd->SetValue(v.channel);
    freqRange_.FRepEd->SetValue(v.repeat);
    freqRange_.FMeasTypeChck->setChecked(v.twoElectrodes);
}

void TFImpixMain::ShowReportSettings(const ReportSettingsValues& v) {
    systemConfig_.RepHourEd->SetValue(v.hour);
    systemConfig_.RepMinEd->SetValue(v.minute);
    systemConfig_.RetryRepEd->SetValue(v.retries);
}

void TFImpixMain::ShowGprsNet(const GprsNetValues& v) {
    systemConfig_.APNEd->setText(v.apn);
    systemConfig_.ServIPEd->setText(v.serverIp);
}

void TFImpixMain::ShowDeviceClock(const QString& text) {
    systemConfig_.ClockEd->setText(text);
}

void TFImpixMain::ShowVersion(const QString& text) {
    measure_.VersionTx->setText(text);
}

void TFImpixMain::ShowDataSize(int64_t items) {
    download_.SizeTx->setText(QString::number(items));
}

void TFImpixMain::ShowDownloadedCount(int64_t counter) {
    download_.AmountTx->setText(QString::number(counter));
}

void TFImpixMain::DownloadRequested(int64_t first, int64_t amount) {
    downloads_->Requested(first, amount);
}

void TFImpixMain::ShowLinkHealth(const LinkHealth& health) {
    frame_.LinkHealthTx->setText(health.Text());
    frame_.LinkHealthTx->setToolTip(health.Hint(format_));
}

void TFImpixMain::ShowMeasurement(const MeasurementLabels& t) {
    measure_.BrdTx->setText(t.BrdTx);
    measure_.ChTx->setText(t.ChTx);
    measure_.RangeTx->setText(t.RangeTx);
    measure_.RealTx->setText(t.RealTx);
    measure_.ImagTx->setText(t.ImagTx);
    measure_.CntTx->setText(t.CntTx);
    measure_.TimeLabel->setText(t.TimeLabel);
}

void TFImpixMain::ShowSweepPoint(const SweepPointLabels& t) {
    freqRange_.FFreqTx->setText(t.FFreqTx);
    freqRange_.FRangeTx->setText(t.FRangeTx);
    freqRange_.FRxTx->setText(t.FRxTx);
    freqRange_.FXxTx->setText(t.FXxTx);
}

void TFImpixMain::ShowStatus(const QString& text) {
    frame_.ComStatusTx->setText(text);
}
