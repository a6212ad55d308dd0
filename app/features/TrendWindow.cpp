#include "app/features/TrendWindow.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "app/features/TrendImage.h"
#include "base/EventGuard.h"
#include "base/FileLocations.h"
#include "buffer/RecordStream.h"
#include "dialogs/SaveDialog.h"
#include "widgets/SpinEdit.h"
#include "widgets/TrendPlot.h"

TrendWindow::TrendWindow(RecordStream& pool, int board, int channel, const FormatSettings& fs,
                         QWidget* parent)
    : QWidget(parent, Qt::Window), fs_(fs) {
    view_ = BuildTrendWindowPage(this);
    view_.TrendBrdEd->SetValue(board);
    view_.TrendChEd->SetValue(channel);
    view_.TrendPB->SetFormatSettings(fs);

    for (SpinEdit* source : {view_.TrendBrdEd, view_.TrendChEd})
        connect(source, &SpinEdit::changed, this, [this] { Guarded([this] { SourceChanged(); }); });
    connect(view_.TrendLogChck, &QCheckBox::toggled, this, [this](bool on) {
        Guarded([this, on] { view_.TrendPB->SetScale(on ? TrendScale::Log : TrendScale::Linear); });
    });
    connect(view_.TrendResetBtn, &QPushButton::clicked, this,
            [this] { Guarded([this] { view_.TrendPB->ResetZoom(); }); });
    connect(view_.TrendSaveBtn, &QPushButton::clicked, this,
            [this] { Guarded([this] { SaveImage(); }); });
    connect(view_.TrendPB, &TrendPlot::seriesChanged, this, [this] { ShowCount(); });
    connect(view_.TrendPB, &TrendPlot::hoverChanged, view_.TrendHoverTx, &QLabel::setText);

    SourceChanged();
    view_.TrendPB->SetPool(&pool); // takes the chosen channel's items from the buffer
    view_.TrendPB->setFocus();     // its keys: Escape, Home, +, -, arrows
    resize(960, 640);
}

void TrendWindow::ShowSource(int board, int channel) {
    view_.TrendBrdEd->SetValue(std::clamp(board, 1, 8));
    view_.TrendChEd->SetValue(std::clamp(channel, 1, 16));
}

void TrendWindow::SourceChanged() {
    const int board = static_cast<int>(view_.TrendBrdEd->RoundedValue());
    const int channel = static_cast<int>(view_.TrendChEd->RoundedValue());
    setWindowTitle(QStringLiteral("Trend - Board %1, Channel %2").arg(board).arg(channel));
    if (board != view_.TrendPB->Board() || channel != view_.TrendPB->Channel())
        view_.TrendPB->SetSource(board, channel);
    ShowCount();
}

void TrendWindow::ShowCount() {
    const TrendSeries& series = view_.TrendPB->Series();
    QString text = series.Count() == 1 ? QStringLiteral("1 measurement")
                                       : QStringLiteral("%1 measurements").arg(series.Count());
    if (series.Unplaced() > 0)
        text += QStringLiteral(" (%1 without a valid time not shown)").arg(series.Unplaced());
    view_.TrendItemsTx->setText(text);
}

void TrendWindow::SaveImage() {
    const QString proposed = ImpixPath(Place::Documents, QStringLiteral("Trend-B%1-Ch%2.png")
                                                             .arg(view_.TrendPB->Board())
                                                             .arg(view_.TrendPB->Channel()));
    const std::optional<QString> path =
        AskSaveFileName(this, ImpixPath(Place::Documents), proposed);
    if (path)
        SaveTrendImage(*view_.TrendPB, *path, windowTitle());
}
