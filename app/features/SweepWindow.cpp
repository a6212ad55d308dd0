#include "app/features/SweepWindow.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <algorithm>

#include "app/features/PlotImage.h"
#include "base/EventGuard.h"
#include "base/Failure.h"
#include "base/FileLocations.h"
#include "dialogs/SaveDialog.h"
#include "sweep/SweepCsv.h"
#include "sweep/SweepRecorder.h"
#include "sweep/SweepWorkbook.h"
#include "sweep/Units.h"
#include "widgets/SpectrumPlot.h"

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
    view_ = BuildSweepWindowPage(this);
    view_.SweepPB->SetRecorder(&recorder_);

    connect(view_.SweepLst, &QListWidget::currentRowChanged, this,
            [this] { Guarded([this] { ShowChosen(); }); });
    connect(view_.SweepLst, &QListWidget::itemChanged, this,
            [this] { Guarded([this] { ShowTraces(); }); });
    connect(view_.SweepPB, &SpectrumPlot::hoverChanged, view_.SweepHoverTx, &QLabel::setText);
    connect(view_.SweepFitBtn, &QPushButton::clicked, this, [this] { Guarded([this] { Fit(); }); });
    connect(view_.SweepSaveBtn, &QPushButton::clicked, this,
            [this] { Guarded([this] { Save(); }); });
    connect(view_.SweepImageBtn, &QPushButton::clicked, this,
            [this] { Guarded([this] { SaveImage(); }); });
    connect(&recorder_, &SweepRecorder::SweepStarted, this, [this](int s) { Started(s); });
    connect(&recorder_, &SweepRecorder::PointAppended, this,
            [this](int s, int p) { Appended(s, p); });
    connect(&recorder_, &SweepRecorder::SweepEnded, this, [this](int s) { Changed(s); });
    connect(&recorder_, &SweepRecorder::SweepFitted, this, [this](int s) {
        if (s == Chosen())
            ShowFit();
        view_.SweepPB->update();
    });

    for (int s = 0; s < static_cast<int>(recorder_.Sweeps().size()); ++s)
        Started(s);
    resize(1280, 760);
}

int SweepWindow::Chosen() const {
    return view_.SweepLst->currentRow();
}

void SweepWindow::Choose(int sweep) {
    view_.SweepLst->setCurrentRow(sweep);
}

void SweepWindow::Started(int sweep) {
    // The chosen sweep follows a new one unless the operator chose an older one.
    const bool follow = Chosen() < 0 || Chosen() == view_.SweepLst->count() - 1;
    auto* item = new QListWidgetItem(view_.SweepLst);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
    item->setForeground(SweepColor(sweep));
    Changed(sweep);
    if (follow)
        Choose(sweep);
}

void SweepWindow::Changed(int sweep) {
    if (QListWidgetItem* item = view_.SweepLst->item(sweep))
        item->setText(SweepListText(recorder_.Sweeps()[static_cast<size_t>(sweep)],
                                    recorder_.Running() == sweep));
}

void SweepWindow::Appended(int sweep, int point) {
    Changed(sweep);
    view_.SweepPB->update(); // the sweep may be overlaid without being the chosen one
    if (sweep != Chosen())
        return;
    const Sweep& s = recorder_.Sweeps()[static_cast<size_t>(sweep)];
    AppendRow(s, point);
    view_.SweepPointsTx->setText(QString::number(s.points.size()));
}

void SweepWindow::AppendRow(const Sweep& s, int point) {
    const SweepPoint& p = s.points[static_cast<size_t>(point)];
    const int row = view_.SweepTbl->rowCount();
    view_.SweepTbl->insertRow(row);
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
        view_.SweepTbl->setItem(row, c, item);
    }
}

void SweepWindow::ShowChosen() {
    view_.SweepTbl->setRowCount(0);
    const int chosen = Chosen();
    if (chosen >= 0) {
        const Sweep& s = recorder_.Sweeps()[static_cast<size_t>(chosen)];
        for (int p = 0; p < static_cast<int>(s.points.size()); ++p)
            AppendRow(s, p);
        view_.SweepPointsTx->setText(QString::number(s.points.size()));
    } else {
        view_.SweepPointsTx->setText(QStringLiteral("0"));
    }
    ShowFit();
    ShowTraces();
}

void SweepWindow::ShowTraces() {
    std::vector<SpectrumPlot::Trace> traces;
    const int chosen = Chosen();
    for (int s = 0; s < view_.SweepLst->count(); ++s)
        if (s == chosen || view_.SweepLst->item(s)->checkState() == Qt::Checked)
            traces.push_back(
                {s, QStringLiteral("%1: %2").arg(s + 1).arg(view_.SweepLst->item(s)->text()),
                 SweepColor(s)});
    view_.SweepPB->SetTraces(std::move(traces));
}

void SweepWindow::ShowFit() {
    const int chosen = Chosen();
    view_.SweepFitTx->setText(
        chosen < 0 ? QString() : SweepFitText(recorder_.Sweeps()[static_cast<size_t>(chosen)]));
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
    for (int s = 0; s < view_.SweepLst->count(); ++s)
        if (view_.SweepLst->item(s)->checkState() == Qt::Checked)
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
        SavePlotImage([this](QPainter& p, QSize size) { view_.SweepPB->Render(p, size); },
                      view_.SweepPB->size(), *path, windowTitle());
}
