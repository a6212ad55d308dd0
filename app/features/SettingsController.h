#pragma once
// The device settings of the pages "Measure", "Freq Range", "System Config" and "Download",
// owned by their controller rather than the main window: each "Get" sends its read request,
// each "Set" the controls' values (period, parameters, electrode mask, clock, GPRS); answers
// come back through the link module's dispatcher.
#include <QObject>
#include <cstdint>
#include <functional>

#include "app/pages/DownloadPage.h"
#include "app/pages/FreqRangePage.h"
#include "app/pages/MeasurePage.h"
#include "app/pages/SystemConfigPage.h"

class QAbstractButton;
class TMB;

class SettingsController : public QObject {
public:
    // Follows the pages' buttons and the electrode selection, sending over `link`. `owner`,
    // the main window, owns the controller.
    SettingsController(const MeasurePage& measure, const FreqRangePage& freqRange,
                       const SystemConfigPage& systemConfig, const DownloadPage& download,
                       TMB& link, QObject* owner);

    // The selected board's channels as the link holds them, and its title.
    void BoardGrpClick();
    // The selected board's channels as the link holds them.
    void ShowBoardMask();

private:
    // Runs the handler for the button's clicks through the event guard.
    void OnClick(QAbstractButton* button, std::function<void()> handler);
    void ChXSelChckClick();
    void ShowChannelMask(uint16_t mask);
    uint16_t ReadChannelMask() const;
    void SetTimeBtnClick();
    void SynchronizeBtnClick();
    void SetGPRSnetBtnClick();

    MeasurePage measure_;
    FreqRangePage freqRange_;
    SystemConfigPage systemConfig_;
    DownloadPage download_;
    TMB& link_;
    bool showingMask_ = false;
};
