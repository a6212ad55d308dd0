// impix-template: writes the shipped template workbook Forms/Table1.xlsx (an Office Open XML
// workbook). Run at build time.
#include <cstdio>
#include <string>
#include <xlsxwriter.h>

namespace {

constexpr int Channels = 16;
// 0-based: the header is sheet row 2, the measurements start at sheet row 3.
constexpr int HeaderRow = 1;
constexpr int FirstDataRow = 2;

struct Formats {
    lxw_format* bold;
    lxw_format* text;
    lxw_format* timestamp;
};

bool WriteChannelSheet(lxw_workbook* wb, int channel, const Formats& f) {
    const std::string name = "Channel_" + std::to_string(channel);
    lxw_worksheet* ws = workbook_add_worksheet(wb, name.c_str());
    if (!ws)
        return false;
    static const char* const headers[] = {"Number", "Date", "Time",     "Range",
                                          "Rp",     "Xp",   "Timestamp"};
    static const double widths[] = {10, 8, 10, 7, 12, 12, 20};
    for (int c = 0; c < 7; ++c) {
        // Date and Time stay text: "08.12" would otherwise read as a number. The timestamp is a
        // date-time value, shown with its year.
        lxw_format* column = c == 1 || c == 2 ? f.text : c == 6 ? f.timestamp : nullptr;
        worksheet_set_column(ws, lxw_col_t(c), lxw_col_t(c), widths[c], column);
        worksheet_write_string(ws, HeaderRow, lxw_col_t(c), headers[c], f.bold);
    }
    worksheet_set_row(ws, HeaderRow, LXW_DEF_ROW_HEIGHT, f.bold);
    worksheet_freeze_panes(ws, HeaderRow + 1, 0);

    // Rp and Xp against the timestamp. The ranges cover the first measurement row only: the
    // spreadsheet service makes them end at the last filled row whenever it saves the sheet.
    lxw_chart* chart = workbook_add_chart(wb, LXW_CHART_SCATTER_STRAIGHT);
    const std::string row = std::to_string(FirstDataRow + 1);
    const auto column = [&](const char* letter) {
        return "='" + name + "'!$" + letter + "$" + row + ":$" + letter + "$" + row;
    };
    const char* const series[][2] = {{"Rp", "E"}, {"Xp", "F"}};
    for (const auto& s : series) {
        lxw_chart_series* cs = chart_add_series(chart, column("G").c_str(), column(s[1]).c_str());
        chart_series_set_name(cs, s[0]);
    }
    const std::string title = "Channel " + std::to_string(channel);
    chart_title_set_name(chart, title.c_str());
    chart_axis_set_name(chart->x_axis, "Timestamp");
    chart_axis_set_num_format(chart->x_axis, "yyyy-mm-dd hh:mm");
    // Reactances are mostly negative: the time labels go below the plot, not along zero.
    chart_axis_set_label_position(chart->x_axis, LXW_CHART_AXIS_LABEL_POSITION_LOW);
    chart_axis_set_name(chart->y_axis, "Impedance");
    lxw_chart_options place = {};
    place.x_scale = 1.5;
    place.y_scale = 1.2;
    worksheet_insert_chart_opt(ws, FirstDataRow, 8, chart, &place);
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
    Formats f{workbook_add_format(wb), workbook_add_format(wb), workbook_add_format(wb)};
    format_set_bold(f.bold);
    format_set_num_format(f.text, "@");
    format_set_num_format(f.timestamp, "yyyy-mm-dd hh:mm:ss");

    // The settings line in row 1, labels and values of the export below it.
    lxw_worksheet* desc = workbook_add_worksheet(wb, "Desc");
    worksheet_set_column(desc, 0, 0, 22, nullptr);
    worksheet_set_column(desc, 1, 1, 40, nullptr);
    for (int ch = 1; ch <= Channels; ++ch)
        if (!WriteChannelSheet(wb, ch, f)) {
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
