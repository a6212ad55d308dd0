#include "app/features/TrendWindow.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/features/TrendImage.h"
#include "app/pages/PageParts.h"
#include "base/EventGuard.h"
#include "base/FileLocations.h"
#include "buffer/RecordStream.h"
#include "dialogs/SaveDialog.h"
#include "widgets/SpinEdit.h"
#include "widgets/TrendPlot.h"

using namespace pages;

TrendWindow::TrendWindow(RecordStream& pool, int board, int channel, const FormatSettings& fs,
                         QWidget* parent)
    : QWidget(parent, Qt::Window), fs_(fs) {
    setObjectName(QStringLiteral("FTrend"));
    board_ = MakeSpin(this, QStringLiteral("TrendBrdEd"), SpinValue::Integer(1, 8), board);
    channel_ = MakeSpin(this, QStringLiteral("TrendChEd"), SpinValue::Integer(1, 16), channel);
    auto* log = MakeCheck(this, QStringLiteral("TrendLogChck"), QStringLiteral("Logarithmic"));
    auto* reset = MakeButton(this, QStringLiteral("TrendResetBtn"), QStringLiteral("Reset zoom"));
    auto* save = MakeButton(this, QStringLiteral("TrendSaveBtn"), QStringLiteral("Save image..."));
    items_ = MakeLabel(this, QStringLiteral("TrendItemsTx"), QString());
    auto* hover = MakeLabel(this, QStringLiteral("TrendHoverTx"), QString());
    hover->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* hint = MakeLabel(this, QStringLiteral("TrendHintTx"),
                           QStringLiteral("Wheel or drag: zoom  -  right drag: pan  -  "
                                          "Esc or double click: all"));
    hint->setEnabled(false);

    plot_ = new TrendPlot(this);
    plot_->setObjectName(QStringLiteral("TrendPB"));
    plot_->SetFormatSettings(fs);

    auto* top = new QHBoxLayout;
    top->addWidget(MakeLabel(this, QStringLiteral("TrendBrdCaption"), QStringLiteral("Board:")));
    top->addWidget(board_);
    top->addSpacing(8);
    top->addWidget(MakeLabel(this, QStringLiteral("TrendChCaption"), QStringLiteral("Channel:")));
    top->addWidget(channel_);
    top->addSpacing(8);
    top->addWidget(log);
    top->addWidget(reset);
    top->addWidget(save);
    top->addStretch(1);
    top->addWidget(items_);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(hover, 1);
    bottom->addWidget(hint);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(plot_, 1);
    layout->addLayout(bottom);

    connect(board_, &SpinEdit::changed, this, [this] { Guarded([this] { SourceChanged(); }); });
    connect(channel_, &SpinEdit::changed, this, [this] { Guarded([this] { SourceChanged(); }); });
    connect(log, &QCheckBox::toggled, this, [this](bool on) {
        Guarded([this, on] { plot_->SetScale(on ? TrendScale::Log : TrendScale::Linear); });
    });
    connect(reset, &QPushButton::clicked, this,
            [this] { Guarded([this] { plot_->ResetZoom(); }); });
    connect(save, &QPushButton::clicked, this, [this] { Guarded([this] { SaveImage(); }); });
    connect(plot_, &TrendPlot::seriesChanged, this, [this] { ShowCount(); });
    connect(plot_, &TrendPlot::hoverChanged, hover, &QLabel::setText);

    SourceChanged();
    plot_->SetPool(&pool); // takes the chosen channel's items from the buffer
    plot_->setFocus();     // its keys: Escape, Home, +, -, arrows
    resize(960, 640);
}

void TrendWindow::ShowSource(int board, int channel) {
    board_->SetValue(std::clamp(board, 1, 8));
    channel_->SetValue(std::clamp(channel, 1, 16));
}

void TrendWindow::SourceChanged() {
    const int board = static_cast<int>(board_->RoundedValue());
    const int channel = static_cast<int>(channel_->RoundedValue());
    setWindowTitle(QStringLiteral("Trend - Board %1, Channel %2").arg(board).arg(channel));
    if (board != plot_->Board() || channel != plot_->Channel())
        plot_->SetSource(board, channel);
    ShowCount();
}

void TrendWindow::ShowCount() {
    const TrendSeries& series = plot_->Series();
    QString text = series.Count() == 1 ? QStringLiteral("1 measurement")
                                       : QStringLiteral("%1 measurements").arg(series.Count());
    if (series.Unplaced() > 0)
        text += QStringLiteral(" (%1 without a valid time not shown)").arg(series.Unplaced());
    items_->setText(text);
}

void TrendWindow::SaveImage() {
    const QString proposed =
        ImpixPath(Place::Documents,
                  QStringLiteral("Trend-B%1-Ch%2.png").arg(plot_->Board()).arg(plot_->Channel()));
    const std::optional<QString> path =
        AskSaveFileName(this, ImpixPath(Place::Documents), proposed);
    if (path)
        SaveTrendImage(*plot_, *path, windowTitle());
}
