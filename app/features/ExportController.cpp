#include "app/features/ExportController.h"

#include <QCheckBox>
#include <QDate>
#include <QDateTime>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

#include "base/EventGuard.h"
#include "base/Failure.h"
#include "base/FileLocations.h"
#include "base/Rounding.h"
#include "base/ValueOrFailure.h"
#include "buffer/BufferTextFile.h"
#include "dialogs/StdDlg.h"
#include "export/DataFileConversion.h"
#include "export/RegisteredProgram.h"
#include "export/TemplateCopy.h"
#include "widgets/FileNameEdit.h"
#include "widgets/RadioGroup.h"
#include "widgets/SpinEdit.h"

namespace {

// The standard dialogs, and the progress in the page's status line; the link runs the event
// queue while it waits, so the line repaints as the sheets fill.
class PageFeedback : public ExportFeedback {
public:
    explicit PageFeedback(QLabel* status) : status_(status) {}
    void ErrorDlg(const QString& msg) override { ::ErrorDlg(msg); }
    int ConfirmDlg(const QString& msg) override { return ::ConfirmDlg(msg); }
    void ExportProgress(int channel, int channels) override {
        status_->setText(QStringLiteral("Channel %1 of %2").arg(channel).arg(channels));
    }

private:
    QLabel* status_;
};

// `noMeasurements`: the source was a converted file without a single item line.
QString OutcomeText(const ExportResult& r, const QString& target, bool noMeasurements) {
    QString saved = QStringLiteral("Saved %1: %2 rows").arg(target).arg(r.rows);
    if (noMeasurements)
        saved += QStringLiteral(": the file holds no measurements");
    switch (r.outcome) {
    case ExportResult::Outcome::Saved:
        return saved;
    case ExportResult::Outcome::MissingSheet:
        return saved + QStringLiteral("; no sheet %1").arg(r.missingSheet);
    case ExportResult::Outcome::AlreadyOpen:
        return QStringLiteral("Not exported: %1 is already open").arg(QFileInfo(target).fileName());
    case ExportResult::Outcome::Declined:
        return QStringLiteral("Not exported: %1 kept").arg(target);
    case ExportResult::Outcome::HeldOpen:
        return QStringLiteral("Not exported: %1 is open in %2")
            .arg(QFileInfo(target).fileName(), r.heldBy);
    }
    return {};
}

} // namespace

ExportController::ExportController(const ExcelExportPage& page, const MeasurePage& measure,
                                   const RecordStream& pool, const FormatSettings& fs,
                                   QWidget* owner)
    : QObject(owner), page_(page), measure_(measure), pool_(pool), fs_(fs), ex_(nullptr, fs) {
    connect(page_.ExExpBtn, &QAbstractButton::clicked, this,
            [this] { Guarded([this] { ExExpBtnClick(); }); });
    connect(page_.ExOpenBtn, &QAbstractButton::clicked, this,
            [this] { Guarded([this] { ExOpenBtnClick(); }); });
}

void ExportController::ExExpBtnClick() {
    const int source = page_.SourceRg->ItemIndex();
    if (source != 0 && source != 1)
        return;
    // The link runs the event queue while it waits for the spreadsheet: a second click must not
    // start an export inside this one.
    QPushButton* fill = page_.ExExpBtn;
    fill->setEnabled(false);
    page_.ExOpenBtn->setEnabled(false);
    exportedWorkbook_.clear();
    struct Reenable {
        QPushButton* button;
        ~Reenable() { button->setEnabled(true); }
    } reenable{fill};

    const QString target = page_.ExFileNameEd->FileName();
    const QString file = page_.SrcFileEd->FileName();
    // A failed conversion has set the status line itself.
    if (source == 0)
        ConvertDataFile(file);
    try {
        const ExportResult result =
            source == 0 ? ExportWorkbook(filePool_, QFileInfo(file).absoluteFilePath())
                        : ExportWorkbook(pool_, QStringLiteral("buffer"));
        page_.ExStatusTx->setText(
            OutcomeText(result, target, source == 0 && filePool_.Count() == 0));
        if (result.outcome == ExportResult::Outcome::Saved ||
            result.outcome == ExportResult::Outcome::MissingSheet) {
            exportedWorkbook_ = QFileInfo(target).absoluteFilePath();
            page_.ExOpenBtn->setEnabled(true);
        }
    } catch (const Failure& f) {
        page_.ExStatusTx->setText("Export failed: " + QString(f.text()).replace('\r', ' '));
        throw;
    }
}

void ExportController::ConvertDataFile(const QString& fileName) {
    page_.ExStatusTx->setText("Converting " + fileName);
    const tl::expected<void, ConversionError> converted = ::ConvertDataFile(
        fileName, filePool_, ImpixPath(Place::Data), fs_, QDate::currentDate().year());
    if (converted)
        return;
    // The message box shows the system's text; the status line says where it happened.
    const ConversionError& e = converted.error();
    page_.ExStatusTx->setText("Export failed: " +
                              (e.line ? e.located() : QString(e.error.text).replace('\r', ' ')));
    throw Failure(e.error.text);
}

ExportResult ExportController::ExportWorkbook(const RecordStream& source,
                                              const QString& sourceName) {
    page_.ExStatusTx->setText(QStringLiteral("Exporting"));
    ExportRequest request;
    request.target = page_.ExFileNameEd->FileName();
    request.templatePath = TemplateWorkbookPath(ImpixPath(Place::Shipped));
    request.board = static_cast<int>(Round(page_.ExBrdEd->Value()));
    request.skipVoid = page_.SkipVoidChck->isChecked();
    request.settingsLine = SettingsLine(measure_.FreqEd->Value(), measure_.VoltageEd->Value(),
                                        measure_.PerHourEd->Value(), measure_.PerMinEd->Value(),
                                        measure_.RepEd->Value(), fs_);
    request.source = sourceName;
    request.exportedAt = QDateTime::currentDateTime();
    PageFeedback feedback(page_.ExStatusTx);
    return ValueOrFailure(::ExportWorkbook(ex_, source, request, fs_, feedback));
}

void ExportController::ExOpenBtnClick() {
    if (exportedWorkbook_.isEmpty())
        return;
    // The desktop's opener says nothing when no program takes the type.
    const FileOpener opener = RegisteredProgram(exportedWorkbook_);
    if (opener.program.isEmpty()) {
        ::ErrorDlg(QStringLiteral("No program is registered to open %1 (%2, %3). Install one for "
                                  "spreadsheets, such as LibreOffice Calc.")
                       .arg(exportedWorkbook_, opener.description, opener.type));
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(exportedWorkbook_)))
        ::ErrorDlg("No program opens " + exportedWorkbook_);
}
