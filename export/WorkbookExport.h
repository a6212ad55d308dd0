#pragma once
// The workbook export: a copy of the template workbook is opened in the spreadsheet, the sheet
// "Desc" gets the measurement settings and a description of the export, and each sheet
// "Channel_<n>" one row per measurement of channel n of one board, as one block per sheet. Free
// of widgets: the dialogs and the progress display come through ExportFeedback.
#include <QDateTime>
#include <QString>
#include <cstdint>

#include "base/FormatSettings.h"
#include "base/Result.h"
#include "buffer/RecordStream.h"

class TExcel;

// Measurement rows a channel sheet holds: its 1,048,576 rows less the board line and the header.
inline constexpr int64_t SheetRowLimit = 1048574;

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
    // For the rows below it: where the records come from ("buffer", or the converted file's
    // path) and when the export ran (invalid: now).
    QString source = QStringLiteral("buffer");
    QDateTime exportedAt;
};

struct ExportResult {
    enum class Outcome {
        Saved,        // every channel sheet filled, the workbook saved
        AlreadyOpen,  // a workbook of the target's name is open: nothing done
        Declined,     // the operator kept the existing file: nothing done
        MissingSheet, // the template lacks a channel sheet: the sheets before it filled and saved
        HeldOpen,     // another program has the existing target open: nothing done
    };
    Outcome outcome = Outcome::Saved;
    int64_t rows = 0;     // measurement rows written
    QString missingSheet; // for MissingSheet
    QString heldBy;       // for HeldOpen: the program, and by whom ("LibreOffice by ann on lab")
};

// Fills the workbook `request.target` from `source` through `ex`: on each channel sheet the
// header and the measurement rows (rows 2 onward, columns 1 to 7, one block unless the rows are
// more than one transfer carries), on "Desc" the settings line and, from row 3, the source, the
// board, when, the console's version and the rows of each channel sheet. The template is copied
// into a working copy beside the target (working copies that an export killed midway left there
// an hour or more ago go first), which the spreadsheet opens, fills and saves; only then, with
// the conversation ended, does it replace the target (keeping the target's mode and owner, and
// a symbolic link pointing at it). A failure at any step leaves the target as it was and no
// working copy behind.
//
// A channel with more rows than a sheet holds ends the export before anything is copied or
// sent, and so does a target that is there but no regular file ("Cannot create file <target>",
// before any question). An existing target that LibreOffice or Excel has open (its lock file
// beside it) is not replaced: a message names the program and the user, before anything is
// copied. Early ends with a message (already open here or there, a missing sheet) and the
// declined overwrite return their outcome; a missing sheet still saves the sheets filled before it,
// and that workbook replaces the target. Failures of the link and of the files are returned once
// the conversation has ended; the closing sequence saves only when the export opened its copy and
// nothing failed.
Result<ExportResult> ExportWorkbook(TExcel& ex, const RecordStream& source,
                                    const ExportRequest& request, const FormatSettings& fs,
                                    ExportFeedback& feedback);
