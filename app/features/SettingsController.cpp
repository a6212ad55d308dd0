#include "app/features/SettingsController.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDateTime>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <utility>

#include "base/EventGuard.h"
#include "base/Rounding.h"
#include "link/AnswerDecode.h"
#include "link/ModBus.h"
#include "widgets/RadioGroup.h"
#include "widgets/SpinEdit.h"

SettingsController::SettingsController(const MeasurePage& measure, const FreqRangePage& freqRange,
                                       const SystemConfigPage& systemConfig,
                                       const DownloadPage& download, TMB& link, QObject* owner)
    : QObject(owner), measure_(measure), freqRange_(freqRange), systemConfig_(systemConfig),
      download_(download), link_(link) {
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
        OnClick(button, [this, code] { link_.SendShortRequest(code); });
    OnClick(measure_.SetPeriodBtn, [this] { link_.SendPeriod(); });
    OnClick(measure_.SetParamsBtn, [this] { link_.SendMeasureParams(); });
    OnClick(freqRange_.SetFParamsBtn, [this] { link_.SendFreqParams(); });
    OnClick(measure_.SetMaskBtn, [this] { link_.SendElectrodeMask(); });
    OnClick(download_.DwnBtn, [this] {
        link_.SendDownloadRequest(Round(download_.FromValEd->Value()),
                                  Round(download_.AmountValEd->Value()));
    });
    OnClick(systemConfig_.SetGPRSrepBtn, [this] { link_.SendReportSettings(); });
    OnClick(systemConfig_.SetTimeBtn, [this] { SetTimeBtnClick(); });
    OnClick(systemConfig_.SynchronizeBtn, [this] { SynchronizeBtnClick(); });
    OnClick(systemConfig_.SetGPRSnetBtn, [this] { SetGPRSnetBtnClick(); });

    connect(measure_.BoardGrp, &RadioGroup::clicked, this,
            [this](int) { Guarded([this] { BoardGrpClick(); }); });
    for (QCheckBox* box : measure_.ChSelChck)
        OnClick(box, [this] { ChXSelChckClick(); });
    OnClick(measure_.ClearSelectionBtn, [this] {
        link_.SetBoardMask(measure_.BoardGrp->ItemIndex(), 0);
        ShowBoardMask();
    });
    OnClick(measure_.SetSelectionBtn, [this] {
        link_.SetBoardMask(measure_.BoardGrp->ItemIndex(), 0xFFFF);
        ShowBoardMask();
    });
}

void SettingsController::BoardGrpClick() {
    const int i = measure_.BoardGrp->ItemIndex();
    ShowChannelMask(link_.BoardMask(i));
    measure_.ChannelGrp->setTitle(QString(" Board %1 ").arg(i + 1));
}

void SettingsController::ShowBoardMask() {
    ShowChannelMask(link_.BoardMask(measure_.BoardGrp->ItemIndex()));
}

void SettingsController::ShowChannelMask(uint16_t mask) {
    // Boxes set by the program must not write back into the mask, whatever events the
    // toolkit raises for them.
    showingMask_ = true;
    for (int k = 0; k < 16; ++k)
        measure_.ChSelChck[static_cast<size_t>(k)]->setChecked((mask >> k) & 1);
    showingMask_ = false;
}

uint16_t SettingsController::ReadChannelMask() const {
    uint16_t mask = 0;
    for (int k = 0; k < 16; ++k)
        if (measure_.ChSelChck[static_cast<size_t>(k)]->isChecked())
            mask |= static_cast<uint16_t>(1u << k);
    return mask;
}

void SettingsController::ChXSelChckClick() {
    if (showingMask_)
        return;
    link_.SetBoardMask(measure_.BoardGrp->ItemIndex(), ReadChannelMask());
}

void SettingsController::SetTimeBtnClick() {
    link_.SendClock();
}

void SettingsController::SynchronizeBtnClick() {
    systemConfig_.ClockEd->setText(ClockText(QDateTime::currentDateTime()));
}

void SettingsController::SetGPRSnetBtnClick() {
    link_.SendGprsNet();
}

void SettingsController::OnClick(QAbstractButton* button, std::function<void()> handler) {
    connect(button, &QAbstractButton::clicked, this,
            [handler = std::move(handler)] { Guarded(handler); });
}
