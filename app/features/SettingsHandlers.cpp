// Handlers of the device settings pages: each "Get" sends its read request, each "Set" sends
// the controls' values; answers come back through the link module's dispatcher.
#include <QCheckBox>
#include <QDateTime>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include "app/ImpixMain.h"
#include "base/EventGuard.h"
#include "base/Rounding.h"
#include "link/AnswerDecode.h"
#include "link/ModBus.h"
#include "widgets/RadioGroup.h"
#include "widgets/SpinEdit.h"

void TFImpixMain::ConnectSettingsHandlers() {
    // Requests without payload and the buttons that send them.
    const std::pair<QPushButton*, Request> shortRequests[] = {
        {measure_.GetPeriodBtn, Request::GetPeriod},
        {measure_.GetParamsBtn, Request::GetParams},
        {measure_.GetMaskBtn, Request::GetMask},
        {systemConfig_.GetTimeBtn, Request::GetTime},
        {systemConfig_.GetGPRSnetBtn, Request::GetGprsNet},
        {systemConfig_.GetGPRSrepBtn, Request::GetGprsReport},
        {systemConfig_.GPRSforceBtn, Request::ForceGprsReport},
        {freqRange_.GetFParamsBtn, Request::GetFreqParams},
        {measure_.EnableBtn, Request::StartMeasure},
        {measure_.DisableBtn, Request::StopMeasure},
        {freqRange_.Button1, Request::StopMeasure},
        {measure_.BitBtn1, Request::ClearMemory},
        {download_.FormatBtn, Request::ClearMemory},
        {download_.GetSizeBtn, Request::GetDataSize},
        {freqRange_.FreqStartBtn, Request::StartFreqMeasure},
    };
    for (const auto& [button, code] : shortRequests)
        OnClick(button, [this, code] { MB->SendShortRequest(code); });
    OnClick(measure_.SetPeriodBtn, [this] { MB->SendPeriod(); });
    OnClick(measure_.SetParamsBtn, [this] { MB->SendMeasureParams(); });
    OnClick(freqRange_.SetFParamsBtn, [this] { MB->SendFreqParams(); });
    OnClick(measure_.SetMaskBtn, [this] { MB->SendElectrodeMask(); });
    OnClick(download_.DwnBtn, [this] {
        MB->SendDownloadRequest(Round(download_.FromValEd->Value()),
                                Round(download_.AmountValEd->Value()));
    });
    OnClick(systemConfig_.SetGPRSrepBtn, [this] { MB->SendReportSettings(); });
    OnClick(systemConfig_.SetTimeBtn, [this] { SetTimeBtnClick(); });
    OnClick(systemConfig_.SynchronizeBtn, [this] { SynchronizeBtnClick(); });
    OnClick(systemConfig_.SetGPRSnetBtn, [this] { SetGPRSnetBtnClick(); });

    connect(measure_.BoardGrp, &RadioGroup::clicked, this,
            [this](int) { Guarded([this] { BoardGrpClick(); }); });
    for (QCheckBox* box : measure_.ChSelChck)
        OnClick(box, [this] { ChXSelChckClick(); });
    OnClick(measure_.ClearSelectionBtn, [this] {
        MB->SetBoardMask(measure_.BoardGrp->ItemIndex(), 0);
        ShowBoardMask();
    });
    OnClick(measure_.SetSelectionBtn, [this] {
        MB->SetBoardMask(measure_.BoardGrp->ItemIndex(), 0xFFFF);
        ShowBoardMask();
    });
}

void TFImpixMain::BoardGrpClick() {
    const int i = measure_.BoardGrp->ItemIndex();
    ShowChannelMask(MB ? MB->BoardMask(i) : 0);
    measure_.ChannelGrp->setTitle(QString(" Board %1 ").arg(i + 1));
}

void TFImpixMain::ShowBoardMask() {
    ShowChannelMask(MB->BoardMask(measure_.BoardGrp->ItemIndex()));
}

void TFImpixMain::ShowChannelMask(uint16_t mask) {
    // Boxes set by the program must not write back into the mask, whatever events the
    // toolkit raises for them.
    showingMask_ = true;
    for (int k = 0; k < 16; ++k)
        measure_.ChSelChck[static_cast<size_t>(k)]->setChecked((mask >> k) & 1);
    showingMask_ = false;
}

uint16_t TFImpixMain::ReadChannelMask() const {
    uint16_t mask = 0;
    for (int k = 0; k < 16; ++k)
        if (measure_.ChSelChck[static_cast<size_t>(k)]->isChecked())
            mask |= static_cast<uint16_t>(1u << k);
    return mask;
}

void TFImpixMain::ChXSelChckClick() {
    if (showingMask_)
        return;
    MB->SetBoardMask(measure_.BoardGrp->ItemIndex(), ReadChannelMask());
}

void TFImpixMain::SetTimeBtnClick() {
    MB->SendClock();
}

void TFImpixMain::SynchronizeBtnClick() {
    systemConfig_.ClockEd->setText(ClockText(QDateTime::currentDateTime()));
}

void TFImpixMain::SetGPRSnetBtnClick() {
    MB->SendGprsNet();
}
