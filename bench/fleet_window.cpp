// The fleet window's list of 10,000 loggers, fed the rows the client reads (the database is not
// what this measures): the first paint once a whole fleet is read (filling the list, sorting it,
// laying out and painting the view), and the refresh a NOTIFY brings (one logger's row changed
// in place, the late ones counted again, the view painted), both on the UI thread.
#include <QApplication>
#include <QHeaderView>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <algorithm>
#include <benchmark/benchmark.h>

#include "app/features/FleetLoggerList.h"

namespace {

constexpr int Loggers = 10'000;

std::vector<fleet::LoggerRow> Fleet(const QDateTime& now) {
    std::vector<fleet::LoggerRow> rows(Loggers);
    for (int i = 0; i < Loggers; ++i) {
        fleet::LoggerRow& r = rows[size_t(i)];
        r.id = i + 1;
        r.name = QStringLiteral("logger-%1").arg((i * 7919) % Loggers, 5, 10, QChar('0'));
        r.address = QStringLiteral("10.%1.%2.%3").arg(i >> 16).arg((i >> 8) & 255).arg(i & 255);
        if (i % 50 != 0) // one in fifty never reported
            r.lastReport = now.addSecs(-qint64(i % 97) * 600);
        r.lastReportItems = 300;
        r.measurements = 300 * (i % 40);
        r.late = i % 13 == 0;
    }
    return rows;
}

// A view set up as the window's list.
struct ShownList {
    FleetLoggerList list;
    QTableView view;

    ShownList() {
        view.setModel(list.Shown());
        view.setSortingEnabled(true);
        view.sortByColumn(0, Qt::AscendingOrder);
        view.verticalHeader()->hide();
        view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        view.setWordWrap(false);
        view.horizontalHeader()->setStretchLastSection(true);
        for (const auto& [column, width] :
             {std::pair{0, 130}, {1, 110}, {2, 240}, {3, 70}, {4, 110}})
            view.setColumnWidth(column, width);
        view.resize(860, 400);
        view.show();
        Paint();
    }
    void Paint() {
        QApplication::processEvents();
        view.viewport()->repaint();
    }
};

int Late(const std::vector<fleet::LoggerRow>& rows) {
    return int(std::count_if(rows.begin(), rows.end(), [](const auto& r) { return r.late; }));
}

void BM_FleetFirstPaint(benchmark::State& state) {
    const QDateTime now = QDateTime::currentDateTime();
    const std::vector<fleet::LoggerRow> rows = Fleet(now);
    for (auto _ : state) {
        state.PauseTiming();
        auto shown = std::make_unique<ShownList>();
        state.ResumeTiming();
        shown->list.Show(rows, now);
        benchmark::DoNotOptimize(Late(rows));
        shown->Paint();
        state.PauseTiming();
        if (shown->list.Shown()->rowCount() != Loggers)
            state.SkipWithError("the list does not show every logger");
        shown.reset();
        state.ResumeTiming();
    }
    state.SetLabel("10,000 loggers, from rows read to painted");
}
BENCHMARK(BM_FleetFirstPaint)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FleetNotifyRefresh(benchmark::State& state) {
    const QDateTime now = QDateTime::currentDateTime();
    std::vector<fleet::LoggerRow> rows = Fleet(now);
    ShownList shown;
    shown.list.Show(rows, now);
    shown.Paint();
    size_t next = 0;
    for (auto _ : state) {
        fleet::LoggerRow& r = rows[next];
        next = (next + 4999) % rows.size();
        r.lastReport = now;
        r.measurements += 300;
        r.late = !r.late;
        shown.list.Update({r}, now);
        benchmark::DoNotOptimize(Late(rows));
        shown.Paint();
    }
    state.SetLabel("one logger's row of 10,000, changed and painted");
}
BENCHMARK(BM_FleetNotifyRefresh)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
