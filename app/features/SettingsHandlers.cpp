// Handlers of the device settings pages: each "Get" sends its read request, each "Set" sends
// the controls' values; answers come back through the link module's dispatcher.
#include <QCheckBox>
#include <QDateTime>

#include "app/ImpixMain.h"
#include "base/EventGuard.h"
#include "base/Rounding.h"
#include "link/AnswerDecode.h"
#include "link/ModBus.h"
#include "widgets/RadioGroup.h"

namespace {
// Requests without payload and the buttons that send them.
struct ShortRequest {
    const char* button;
    Request code;
};
constexpr ShortRequest ShortRequests[] = {
    {"GetPeriodBtn", Request::GetPeriod},
    {"GetParamsBtn", Request::GetParams},
    {"GetMaskBtn", Request::GetMask},
    {"GetTimeBtn", Request::GetTime},
    {"GetGPRSnetBtn", Request::GetGprsNet},
    {"GetGPRSrepBtn", Request::GetGprsReport},
    {"GPRSforceBtn", Request::ForceGprsReport},
    {"GetFParamsBtn", Request::GetFreqParams},
    {"EnableBtn", Request::StartMeasure},
    {"DisableBtn", Request::StopMeasure},
    {"Button1", Request::StopMeasure},
    {"BitBtn1", Request::ClearMemory},
    {"FormatBtn", Request::ClearMemory},
    {"GetSizeBtn", Request::GetDataSize},
    {"FreqStartBtn", Request::StartFreqMeasure},
};
} // namespace

void TFImpixMain::ConnectSettingsHandlers() {
    for (const ShortRequest& r : ShortRequests) {
        const Request code = r.code;
        OnClick(r.button, [this, code] { MB->SendShortRequest(code); });
    }
    OnClick("SetPeriodBtn", [this] { MB->SendPeriod(); });
    OnClick("SetParamsBtn", [this] { MB->SendMeasureParams(); });
    OnClick("SetFParamsBtn", [this] { MB->SendFreqParams(); });
    OnClick("SetMaskBtn", [this] { MB->SendElectrodeMask(); });
    OnClick("DwnBtn", [this] {
        MB->SendDownloadRequest(Round(Value("FromValEd")), Round(Value("AmountValEd")));
    });
    OnClick("SetGPRSrepBtn", [this] { MB->SendReportSettings(); });
    OnClick("SetTimeBtn", [this] { SetTimeBtnClick(); });
    OnClick("SynchronizeBtn", [this] { SynchronizeBtnClick(); });
    OnClick("SetGPRSnetBtn", [this] { SetGPRSnetBtnClick(); });

    connect(C<RadioGroup>("BoardGrp"), &RadioGroup::clicked, this,
            [this](int) { Guarded([this] { BoardGrpClick(); }); });
    for (int k = 1; k <= 16; ++k)
        OnClick(QString("Ch%1SelChck").arg(k), [this] { ChXSelChckClick(); });
    OnClick("ClearSelectionBtn", [this] {
        MB->SetBoardMask(ItemIndex("BoardGrp"), 0);
        ShowBoardMask();
    });
    OnClick("SetSelectionBtn", [this] {
        MB->SetBoardMask(ItemIndex("BoardGrp"), 0xFFFF);
        ShowBoardMask();
    });
}

void TFImpixMain::BoardGrpClick() {
    const int i = ItemIndex("BoardGrp");
    ShowChannelMask(MB ? MB->BoardMask(i) : 0);
    SetText("ChannelGrp", QString(" Board %1 ").arg(i + 1));
}

void TFImpixMain::ShowBoardMask() {
    ShowChannelMask(MB->BoardMask(ItemIndex("BoardGrp")));
}

void TFImpixMain::ShowChannelMask(uint16_t mask) {
    // Boxes set by the program must not write back into the mask, whatever events the
    // toolkit raises for them.
    showingMask_ = true;
    for (int k = 0; k < 16; ++k)
        SetChecked(QString("Ch%1SelChck").arg(k + 1), (mask >> k) & 1);
    showingMask_ = false;
}

uint16_t TFImpixMain::ReadChannelMask() const {
    uint16_t mask = 0;
    for (int k = 0; k < 16; ++k)
        if (Checked(QString("Ch%1SelChck").arg(k + 1)))
            mask |= static_cast<uint16_t>(1u << k);
    return mask;
}

void TFImpixMain::ChXSelChckClick() {
    if (showingMask_)
        return;
    MB->SetBoardMask(ItemIndex("BoardGrp"), ReadChannelMask());
}

void TFImpixMain::SetTimeBtnClick() {
    MB->SendClock();
}

void TFImpixMain::SynchronizeBtnClick() {
    SetText("ClockEd", ClockText(QDateTime::currentDateTime()));
}

void TFImpixMain::SetGPRSnetBtnClick() {
    MB->SendGprsNet();
}
