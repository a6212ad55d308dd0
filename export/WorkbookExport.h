#pragma once
// The workbook export: a copy of the template workbook is opened in the spreadsheet, the sheet
// "Desc" gets the measurement settings and each sheet "Channel_<n>" one row per measurement of
// channel n of one board, as one block per sheet. Free of widgets: the dialogs and the progress
// display come through ExportFeedback.
#include <QString>
#include <cstdint>

#include "base/FormatSettings.h"
#include "data/RecordStream.h"

class TExcel;

// What the export needs of the window.
class ExportFeedback {
public:
    virtual ~ExportFeedback() = default;
    // The system's error message with OK.
    virtual void ErrorDlg(const QString& msg) = 0;
    // The system's yes/no question; 6 is yes.
    virtual int ConfirmDlg(const QString& msg) = 0;
    // Sheet `channel` of `channels` is being filled.
    virtual void ExportProgress(int channel, int channels) = 0;
};

struct ExportRequest {
    QString target;       // the workbook to create
    QString templatePath; // the template workbook copied to it
    int board = 1;        // as shown, 1-based
    bool skipVoid = false;
    QString settingsLine; // the cell of "Desc"
};

struct ExportResult {
    enum class Outcome {
        Saved,        // every channel sheet filled, the workbook saved
        AlreadyOpen,  // a workbook of the target's name is open: nothing done
        Declined,     // the operator kept the existing file: nothing done
        MissingSheet, // the template lacks a channel sheet: the sheets before it filled and saved
    };
    Outcome outcome = Outcome::Saved;
    int64_t rows = 0;     // measurement rows written
    QString missingSheet; // for MissingSheet
};

// Fills the workbook `request.target` from `source` through `ex`. Early ends with a message
// (already open, a missing sheet) and the declined overwrite return their outcome; failures of
// the link and of the template copy are thrown after the closing sequence has run. The closing
// sequence saves the active workbook only when this export opened the target, and always ends
// the conversation.
ExportResult ExportWorkbook(TExcel& ex, const RecordStream& source, const ExportRequest& request,
                            const FormatSettings& fs, ExportFeedback& feedback);
