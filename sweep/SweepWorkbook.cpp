#include "sweep/SweepWorkbook.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <xlsxwriter.h>

#include "sweep/SweepCsv.h"

namespace {

QByteArray Utf8(const QString& s) {
    return s.toUtf8();
}

// A chart of a sheet's column y against column x: its title, axis titles with units, and
// which axes are logarithmic or reversed.
struct ChartLayout {
    int x, y;
    const char *title, *xName, *yName;
    bool logX, logY, reverseY;
};

// Bode as two charts over the same log frequency axis (this writer has no secondary axis);
// Nyquist with X growing downwards, so a capacitive arc stands up.
constexpr ChartLayout kCharts[] = {
    {0, 4, "Bode: |Z| (Ω) against f (Hz)", "f (Hz)", "|Z| (Ω)", true, true, false},
    {0, 5, "Bode: phase (°) against f (Hz)", "f (Hz)", "phase (°)", true, false, false},
    {2, 3, "Nyquist: X (Ω) against R (Ω)", "R (Ω)", "X (Ω)", false, false, true},
};

// Adds `layout`'s chart over rows first..last (0-based) of `sheet`, its top at row `at`.
void AddChart(lxw_workbook* book, lxw_worksheet* sheet, const QString& sheetName,
              const ChartLayout& layout, lxw_row_t first, lxw_row_t last, lxw_row_t at) {
    lxw_chart* chart = workbook_add_chart(book, LXW_CHART_SCATTER_STRAIGHT_WITH_MARKERS);
    lxw_chart_series* series = chart_add_series(chart, nullptr, nullptr);
    const QByteArray name = Utf8(sheetName);
    const auto x = static_cast<lxw_col_t>(layout.x), y = static_cast<lxw_col_t>(layout.y);
    chart_series_set_categories(series, name.constData(), first, x, last, x);
    chart_series_set_values(series, name.constData(), first, y, last, y);
    chart_title_set_name(chart, layout.title);
    chart_axis_set_name(chart->x_axis, layout.xName);
    chart_axis_set_name(chart->y_axis, layout.yName);
    chart_legend_set_position(chart, LXW_CHART_LEGEND_NONE);
    if (layout.logX)
        chart_axis_set_log_base(chart->x_axis, 10);
    if (layout.logY)
        chart_axis_set_log_base(chart->y_axis, 10);
    if (layout.reverseY)
        chart_axis_set_reverse(chart->y_axis);
    worksheet_insert_chart(sheet, at, 9, chart);
}

} // namespace

Result<qsizetype> WriteSweepsWorkbook(const QString& path,
                                      const std::vector<const Sweep*>& sweeps) {
    const QString part = path + QStringLiteral(".part");
    const QByteArray partName = QFile::encodeName(part);
    lxw_workbook* book = workbook_new(partName.constData());
    if (!book)
        return Fail(QStringLiteral("%1: cannot be written").arg(path));
    const QStringList titles = SweepColumnTitles();
    qsizetype rows = 0;
    for (size_t i = 0; i < sweeps.size(); ++i) {
        const Sweep& s = *sweeps[i];
        const QString name = QStringLiteral("Sweep %1").arg(i + 1);
        lxw_worksheet* sheet = workbook_add_worksheet(book, Utf8(name).constData());
        lxw_row_t row = 0;
        for (const QString& line : SweepDescription(s))
            worksheet_write_string(sheet, row++, 0, Utf8(line).constData(), nullptr);
        ++row;
        for (qsizetype c = 0; c < titles.size(); ++c)
            worksheet_write_string(sheet, row, static_cast<lxw_col_t>(c),
                                   Utf8(titles[c]).constData(), nullptr);
        const lxw_row_t first = ++row;
        for (const SweepPoint& p : s.points) {
            worksheet_write_number(sheet, row, 0, p.Hz(), nullptr);
            worksheet_write_number(sheet, row, 1, p.range, nullptr);
            // A void point leaves its values empty: a gap in the charts.
            if (!p.Void()) {
                const double values[] = {p.Rx, p.Xx, p.Magnitude(), p.PhaseDegrees()};
                for (int c = 0; c < 4; ++c)
                    worksheet_write_number(sheet, row, static_cast<lxw_col_t>(2 + c), values[c],
                                           nullptr);
            }
            worksheet_write_string(sheet, row, 6,
                                   Utf8(p.arrival.toUTC().toString(Qt::ISODateWithMs)).constData(),
                                   nullptr);
            ++row;
        }
        rows += static_cast<qsizetype>(s.points.size());
        if (!s.points.empty()) {
            lxw_row_t at = 0;
            for (const ChartLayout& layout : kCharts) {
                AddChart(book, sheet, name, layout, first, row - 1, at);
                at += 16;
            }
        }
    }
    if (sweeps.empty())
        workbook_add_worksheet(book, nullptr);
    const lxw_error closed = workbook_close(book);
    if (closed != LXW_NO_ERROR) {
        QFile::remove(part);
        return Fail(QStringLiteral("%1: %2").arg(path, QString::fromUtf8(lxw_strerror(closed))));
    }
    if (std::rename(partName.constData(), QFile::encodeName(path).constData()) != 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(part);
        return Fail(QStringLiteral("%1: %2").arg(path, reason));
    }
    return rows;
}
