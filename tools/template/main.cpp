// impix-template: writes the shipped template workbook Forms/Table1.xls (an Office Open XML
// workbook; the name is the one the console looks for). Run at build time.
#include <cstdio>
#include <string>
#include <xlsxwriter.h>

namespace {

constexpr int Channels = 16;
constexpr int FirstDataRow = 2;     // 0-based: sheet row 3
constexpr int LastChartRow = 10001; // 0-based: sheet row 10002

bool WriteChannelSheet(lxw_workbook* wb, int channel, lxw_format* bold, lxw_format* text) {
    const std::string name = "Channel_" + std::to_string(channel);
    lxw_worksheet* ws = workbook_add_worksheet(wb, name.c_str());
    if (!ws)
        return false;
    static const char* const headers[] = {"Number", "Date", "Time", "Range", "Rp", "Xp"};
    static const double widths[] = {10, 8, 10, 7, 12, 12};
    for (int c = 0; c < 6; ++c) {
        // Date and Time stay text: "08.12" would otherwise read as a number.
        worksheet_set_column(ws, lxw_col_t(c), lxw_col_t(c), widths[c],
                             c == 1 || c == 2 ? text : nullptr);
        worksheet_write_string(ws, 1, lxw_col_t(c), headers[c], bold);
    }
    worksheet_set_row(ws, 1, LXW_DEF_ROW_HEIGHT, bold);
    worksheet_freeze_panes(ws, 2, 0);

    lxw_chart* chart = workbook_add_chart(wb, LXW_CHART_LINE);
    const char* const series[][2] = {{"Rp", "E"}, {"Xp", "F"}};
    for (const auto& s : series) {
        const std::string categories =
            "='" + name + "'!$A$3:$A$" + std::to_string(LastChartRow + 1);
        const std::string values =
            "='" + name + "'!$" + s[1] + "$3:$" + s[1] + "$" + std::to_string(LastChartRow + 1);
        lxw_chart_series* cs = chart_add_series(chart, categories.c_str(), values.c_str());
        chart_series_set_name(cs, s[0]);
    }
    const std::string title = "Channel " + std::to_string(channel);
    chart_title_set_name(chart, title.c_str());
    chart_axis_set_name(chart->x_axis, "Number");
    chart_axis_set_name(chart->y_axis, "Impedance");
    lxw_chart_options place = {};
    place.x_scale = 1.5;
    place.y_scale = 1.2;
    worksheet_insert_chart_opt(ws, FirstDataRow, 7, chart, &place);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: impix-template <output file>\n");
        return 2;
    }
    lxw_workbook* wb = workbook_new(argv[1]);
    if (!wb) {
        std::fprintf(stderr, "impix-template: cannot create %s\n", argv[1]);
        return 1;
    }
    lxw_format* bold = workbook_add_format(wb);
    format_set_bold(bold);
    lxw_format* text = workbook_add_format(wb);
    format_set_num_format(text, "@");

    lxw_worksheet* desc = workbook_add_worksheet(wb, "Desc");
    worksheet_set_column(desc, 0, 0, 80, nullptr);
    for (int ch = 1; ch <= Channels; ++ch)
        if (!WriteChannelSheet(wb, ch, bold, text)) {
            std::fprintf(stderr, "impix-template: cannot add sheet %d\n", ch);
            return 1;
        }
    const lxw_error err = workbook_close(wb);
    if (err != LXW_NO_ERROR) {
        std::fprintf(stderr, "impix-template: %s: %s\n", argv[1], lxw_strerror(err));
        return 1;
    }
    return 0;
}
