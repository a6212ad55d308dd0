#include "app/features/SweepWindow.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/features/PlotImage.h"
#include "app/pages/PageParts.h"
#include "base/EventGuard.h"
#include "base/Failure.h"
#include "base/FileLocations.h"
#include "dialogs/SaveDialog.h"
#include "sweep/SweepCsv.h"
#include "sweep/SweepRecorder.h"
#include "sweep/SweepWorkbook.h"
#include "sweep/Units.h"
#include "widgets/SpectrumPlot.h"

using namespace pages;

namespace {
// Colours that tell overlaid sweeps apart, by sweep number.
QColor SweepColor(int sweep) {
    static const QColor colors[] = {QColor(0, 90, 200),   QColor(210, 60, 30), QColor(20, 150, 60),
                                    QColor(150, 50, 170), QColor(200, 140, 0), QColor(0, 150, 160),
                                    QColor(120, 80, 40),  QColor(90, 90, 90)};
    return colors[static_cast<size_t>(sweep) % std::size(colors)];
}

int PointBoard(const Sweep& s) {
    return s.points.empty() ? (s.settings ? s.settings->board : 0) : s.points.front().board;
}
int PointChannel(const Sweep& s) {
    return s.points.empty() ? (s.settings ? s.settings->channel : 0) : s.points.front().channel;
}

// "0.1 .. 12.798 kHz": one prefix for the span.
QString HzSpan(double lo, double hi) {
    const UnitScale u = ScaleFor(Unit::Hertz, lo, hi);
    return QStringLiteral("%1 .. %2 %3")
        .arg(QString::number(lo / u.divisor, 'g', 6), QString::number(hi / u.divisor, 'g', 6),
             u.symbol);
}
} // namespace

QString SweepListText(const Sweep& s, bool running) {
    QString text = QStringLiteral("%1  board %2, channel %3  %4 point%5")
                       .arg(s.started.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                       .arg(PointBoard(s) + 1)
                       .arg(PointChannel(s) + 1)
                       .arg(s.points.size())
                       .arg(s.points.size() == 1 ? "" : "s");
    if (!s.points.empty()) {
        const auto [lo, hi] = std::minmax_element(
            s.points.begin(), s.points.end(),
            [](const SweepPoint& a, const SweepPoint& b) { return a.Hz() < b.Hz(); });
        text += QStringLiteral("  ") + HzSpan(lo->Hz(), hi->Hz());
    }
    if (running)
        text += QStringLiteral("  (running)");
    return text;
}

QString SweepFitText(const Sweep& s) {
    if (!s.fit)
        return {};
    const CircuitFit& f = *s.fit;
    const auto ohms = [](double v, double e) {
        const UnitScale u = ScaleFor(Unit::Ohm, v, v);
        return QStringLiteral("%1 ± %2 %3")
            .arg(WithUnit(v, u, 4), QString::number(e / u.divisor, 'g', 2), u.symbol);
    };
    return QStringLiteral("Rs = %1   Rp = %2   Q = %3 ± %4 S·s^n   n = %5 ± %6   "
                          "residual %7 %   (%8 points)")
        .arg(ohms(f.params.rs, f.errors.rs), ohms(f.params.rp, f.errors.rp))
        .arg(f.params.q, 0, 'g', 4)
        .arg(f.errors.q, 0, 'g', 2)
        .arg(f.params.n, 0, 'f', 4)
        .arg(f.errors.n, 0, 'g', 2)
        .arg(f.residual * 100, 0, 'g', 3)
        .arg(f.points);
}

SweepWindow::SweepWindow(SweepRecorder& recorder, QWidget* parent)
    : QWidget(parent, Qt::Window), recorder_(recorder) {
    setObjectName(QStringLiteral("FSweep"));
    setWindowTitle(QStringLiteral("Sweeps"));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("SweepLst"));
    points_ = MakeLabel(this, QStringLiteral("SweepPointsTx"), QStringLiteral("0"));
    table_ = new QTableWidget(0, 6, this);
    table_->setObjectName(QStringLiteral("SweepTbl"));
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->setDefaultSectionSize(18);
    table_->horizontalHeader()->setDefaultSectionSize(90);
    const UnitScale ohm = BaseScale(Unit::Ohm);
    table_->setHorizontalHeaderLabels(
        {QuantityTitle(Quantity::Frequency, BaseScale(Unit::Hertz)), QStringLiteral("range"),
         QuantityTitle(Quantity::Resistance, ohm), QuantityTitle(Quantity::Reactance, ohm),
         QuantityTitle(Quantity::Magnitude, ohm),
         QuantityTitle(Quantity::Phase, BaseScale(Unit::Degree))});
    plot_ = new SpectrumPlot(this);
    plot_->setObjectName(QStringLiteral("SweepPB"));
    plot_->SetRecorder(&recorder_);
    auto* fitBtn = MakeButton(this, QStringLiteral("SweepFitBtn"), QStringLiteral("Fit"));
    auto* save = MakeButton(this, QStringLiteral("SweepSaveBtn"), QStringLiteral("Save..."));
    auto* image =
        MakeButton(this, QStringLiteral("SweepImageBtn"), QStringLiteral("Save image..."));
    fit_ = MakeLabel(this, QStringLiteral("SweepFitTx"), QString());
    fit_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* hover = MakeLabel(this, QStringLiteral("SweepHoverTx"), QString());
    hover->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* left = new QWidget(this);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    left->setMinimumWidth(540);
    leftLayout->addWidget(list_, 1);
    auto* count = new QHBoxLayout;
    count->addWidget(
        MakeLabel(this, QStringLiteral("SweepPointsCaption"), QStringLiteral("Points:")));
    count->addWidget(points_, 1);
    leftLayout->addLayout(count);
    leftLayout->addWidget(table_, 2);
    auto* right = new QWidget(this);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(fitBtn);
    buttons->addWidget(save);
    buttons->addWidget(image);
    buttons->addStretch(1);
    rightLayout->addLayout(buttons);
    rightLayout->addWidget(plot_, 1);
    rightLayout->addWidget(hover);
    rightLayout->addWidget(fit_);
    auto* split = new QSplitter(this);
    split->addWidget(left);
    split->addWidget(right);
    split->setStretchFactor(1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(split);

    connect(list_, &QListWidget::currentRowChanged, this,
            [this] { Guarded([this] { ShowChosen(); }); });
    connect(list_, &QListWidget::itemChanged, this, [this] { Guarded([this] { ShowTraces(); }); });
    connect(plot_, &SpectrumPlot::hoverChanged, hover, &QLabel::setText);
    connect(fitBtn, &QPushButton::clicked, this, [this] { Guarded([this] { Fit(); }); });
    connect(save, &QPushButton::clicked, this, [this] { Guarded([this] { Save(); }); });
    connect(image, &QPushButton::clicked, this, [this] { Guarded([this] { SaveImage(); }); });
    connect(&recorder_, &SweepRecorder::SweepStarted, this, [this](int s) { Started(s); });
    connect(&recorder_, &SweepRecorder::PointAppended, this,
            [this](int s, int p) { Appended(s, p); });
    connect(&recorder_, &SweepRecorder::SweepEnded, this, [this](int s) { Changed(s); });
    connect(&recorder_, &SweepRecorder::SweepFitted, this, [this](int s) {
        if (s == Chosen())
            ShowFit();
        plot_->update();
    });

    for (int s = 0; s < static_cast<int>(recorder_.Sweeps().size()); ++s)
        Started(s);
    resize(1280, 760);
}

int SweepWindow::Chosen() const {
    return list_->currentRow();
}

void SweepWindow::Choose(int sweep) {
    list_->setCurrentRow(sweep);
}

void SweepWindow::Started(int sweep) {
    // The chosen sweep follows a new one unless the operator chose an older one.
    const bool follow = Chosen() < 0 || Chosen() == list_->count() - 1;
    auto* item = new QListWidgetItem(list_);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
    item->setForeground(SweepColor(sweep));
    Changed(sweep);
    if (follow)
        Choose(sweep);
}

void SweepWindow::Changed(int sweep) {
    if (QListWidgetItem* item = list_->item(sweep))
        item->setText(SweepListText(recorder_.Sweeps()[static_cast<size_t>(sweep)],
                                    recorder_.Running() == sweep));
}

void SweepWindow::Appended(int sweep, int point) {
    Changed(sweep);
    plot_->update(); // the sweep may be overlaid without being the chosen one
    if (sweep != Chosen())
        return;
    const Sweep& s = recorder_.Sweeps()[static_cast<size_t>(sweep)];
    AppendRow(s, point);
    points_->setText(QString::number(s.points.size()));
}

void SweepWindow::AppendRow(const Sweep& s, int point) {
    const SweepPoint& p = s.points[static_cast<size_t>(point)];
    const int row = table_->rowCount();
    table_->insertRow(row);
    // A void point keeps its row, without values: a gap in the plots too.
    const auto number = [&p](double v, int decimals) {
        return p.Void() ? QString() : QString::number(v, 'f', decimals);
    };
    const QString cells[] = {QString::number(p.Hz()),  QString::number(p.range),
                             number(p.Rx, 2),          number(p.Xx, 2),
                             number(p.Magnitude(), 2), number(p.PhaseDegrees(), 2)};
    for (int c = 0; c < static_cast<int>(std::size(cells)); ++c) {
        auto* item = new QTableWidgetItem(cells[c]);
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        table_->setItem(row, c, item);
    }
}

void SweepWindow::ShowChosen() {
    table_->setRowCount(0);
    const int chosen = Chosen();
    if (chosen >= 0) {
        const Sweep& s = recorder_.Sweeps()[static_cast<size_t>(chosen)];
        for (int p = 0; p < static_cast<int>(s.points.size()); ++p)
            AppendRow(s, p);
        points_->setText(QString::number(s.points.size()));
    } else {
        points_->setText(QStringLiteral("0"));
    }
    ShowFit();
    ShowTraces();
}

void SweepWindow::ShowTraces() {
    std::vector<SpectrumPlot::Trace> traces;
    const int chosen = Chosen();
    for (int s = 0; s < list_->count(); ++s)
        if (s == chosen || list_->item(s)->checkState() == Qt::Checked)
            traces.push_back({s, QStringLiteral("%1: %2").arg(s + 1).arg(list_->item(s)->text()),
                              SweepColor(s)});
    plot_->SetTraces(std::move(traces));
}

void SweepWindow::ShowFit() {
    const int chosen = Chosen();
    fit_->setText(chosen < 0 ? QString()
                             : SweepFitText(recorder_.Sweeps()[static_cast<size_t>(chosen)]));
}

void SweepWindow::Fit() {
    const int chosen = Chosen();
    if (chosen < 0)
        throw Failure(QStringLiteral("No sweep chosen"));
    const Result<CircuitFit> fit =
        FitCircuit(recorder_.Sweeps()[static_cast<size_t>(chosen)].Samples());
    if (!fit)
        throw Failure(QStringLiteral("The fit failed: %1").arg(fit.error().text));
    recorder_.SetFit(chosen, *fit);
}

void SweepWindow::Save() {
    std::vector<const Sweep*> chosen;
    for (int s = 0; s < list_->count(); ++s)
        if (list_->item(s)->checkState() == Qt::Checked)
            chosen.push_back(&recorder_.Sweeps()[static_cast<size_t>(s)]);
    if (chosen.empty() && Chosen() >= 0)
        chosen.push_back(&recorder_.Sweeps()[static_cast<size_t>(Chosen())]);
    if (chosen.empty())
        throw Failure(QStringLiteral("No sweep chosen"));
    const std::optional<QString> path =
        AskSaveFileName(this, ImpixPath(Place::Documents),
                        ImpixPath(Place::Documents, QStringLiteral("Sweeps.csv")));
    if (!path)
        return;
    // A workbook for a name that asks for one, else CSV.
    const Result<qsizetype> written = path->endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive)
                                          ? WriteSweepsWorkbook(*path, chosen)
                                          : WriteSweepsCsv(*path, chosen);
    if (!written)
        throw Failure(written.error().text);
}

void SweepWindow::SaveImage() {
    const std::optional<QString> path =
        AskSaveFileName(this, ImpixPath(Place::Documents),
                        ImpixPath(Place::Documents, QStringLiteral("Sweeps.png")));
    if (path)
        SavePlotImage([this](QPainter& p, QSize size) { plot_->Render(p, size); }, plot_->size(),
                      *path, windowTitle());
}
