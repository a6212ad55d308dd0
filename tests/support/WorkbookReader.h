#pragma once
// Reads filled workbooks back with openpyxl (Debian's python3) and LibreOffice.
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QStringList>

#include "support/ChildProcess.h"

// Runs a python3 program on the workbook that prints a JSON object of lists of texts, one per
// sheet; the lists by sheet (a sheet with an empty list too), or an empty map and why in `error`.
inline QMap<QString, QStringList> SheetLists(const char* script, const QString& path,
                                             QString* error) {
    const ProgramRun py = RunProgram("/usr/bin/python3", {"-c", script, path});
    QMap<QString, QStringList> sheets;
    const QJsonObject obj = QJsonDocument::fromJson(py.output).object();
    for (auto it = obj.begin(); it != obj.end(); ++it) {
        QStringList& list = sheets[it.key()];
        for (const QJsonValue& text : it.value().toArray())
            list << text.toString();
    }
    if (error)
        *error = QString::fromUtf8(py.errors);
    return sheets;
}

// Every sheet as its rows, each row its cells joined by TAB with trailing empty cells dropped;
// whole numbers show without a fraction, a date-time as "yyyy-mm-dd hh:mm:ss". Opened whatever
// its name says.
inline QMap<QString, QStringList> ReadWorkbook(const QString& path, QString* error = nullptr) {
    static const char* const script = R"(
import sys, json, openpyxl
wb = openpyxl.load_workbook(open(sys.argv[1], 'rb'))
def text(v):
    if v is None: return ''
    if isinstance(v, float) and v.is_integer(): return str(int(v))
    return str(v)
out = {}
for ws in wb.worksheets:
    rows = []
    for row in ws.iter_rows(min_row=1, max_row=ws.max_row, values_only=True):
        cells = [text(v) for v in row]
        while cells and cells[-1] == '': cells.pop()
        rows.append('\t'.join(cells))
    while rows and rows[-1] == '': rows.pop()
    out[ws.title] = rows
print(json.dumps(out))
)";
    return SheetLists(script, path, error);
}

// The data ranges of the charts on every sheet, from a workbook opened by its name (so the name
// must say what the file is): per sheet, for each series, its x range and its y range, joined by
// a blank, and "cached <n>" after a range that carries n cached values.
inline QMap<QString, QStringList> ReadChartRanges(const QString& path, QString* error = nullptr) {
    static const char* const script = R"(
import sys, json, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
def ref(data):
    if data is None or data.numRef is None: return '-'
    cache = data.numRef.numCache
    return data.numRef.f + (' cached %d' % cache.ptCount if cache is not None else '')
out = {}
for ws in wb.worksheets:
    out[ws.title] = [ref(s.xVal or s.cat) + ' ' + ref(s.yVal or s.val)
                     for chart in ws._charts for s in chart.series]
print(json.dumps(out))
)";
    return SheetLists(script, path, error);
}

// Has LibreOffice (soffice --headless, a profile of its own in `work`) open the workbook and
// save it with `filter` in `work`/copy as the file `made` (of that folder): the file's path, or
// empty and what it said in `problem`. (It exits with 0 even when it cannot load a file, and
// warns about its Java helper anywhere.)
inline QString LibreOfficeConvert(const QString& path, const QString& work, const QString& filter,
                                  const QString& made, QString* problem) {
    const ProgramRun office =
        RunProgram("/usr/bin/soffice",
                   {"-env:UserInstallation=file://" + work + "/profile", "--headless",
                    "--convert-to", filter, "--outdir", work + "/copy", path},
                   {}, 180000);
    if (!office.finished) {
        *problem = "soffice did not finish";
        return {};
    }
    const QString said = QString::fromLocal8Bit(office.output + office.errors).trimmed();
    const QString copy = work + "/copy/" + made;
    if (office.exitCode != 0 || said.contains("Error", Qt::CaseInsensitive) ||
        QFileInfo(copy).size() == 0) {
        *problem = QStringLiteral("soffice exit %1: %2").arg(office.exitCode).arg(said);
        return {};
    }
    return copy;
}

// The workbook as LibreOffice reads it, saved again as a workbook: the copy's path.
inline QString LibreOfficeCopy(const QString& path, const QString& work, QString* problem) {
    return LibreOfficeConvert(path, work, "xlsx", QFileInfo(path).completeBaseName() + ".xlsx",
                              problem);
}

// Sheet `name`, the `sheet`-th (from 1), as LibreOffice shows it: its rows, each its cells as
// shown (in their number formats) joined by TAB; empty and what it said in `problem` when it
// could not.
inline QStringList LibreOfficeSheet(const QString& path, int sheet, const QString& name,
                                    const QString& work, QString* problem) {
    // Separator TAB, no quotes, UTF-8, cells as shown, only that sheet.
    const QString csv = LibreOfficeConvert(
        path, work,
        QStringLiteral("csv:Text - txt - csv (StarCalc):9,,76,1,,0,false,true,true,false,false,%1")
            .arg(sheet),
        QFileInfo(path).completeBaseName() + "-" + name + ".csv", problem);
    QFile file(csv);
    if (csv.isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    QStringList rows = QString::fromUtf8(file.readAll()).split('\n');
    while (!rows.isEmpty() && rows.back().isEmpty())
        rows.removeLast();
    return rows;
}

// Runs a short python3 program with openpyxl on the arguments; true when it exits with 0.
inline bool RunPython(const char* program, const QStringList& args) {
    const ProgramRun py = RunProgram("/usr/bin/python3", QStringList{"-c", program} + args);
    if (!py.errors.isEmpty())
        qWarning("%s", py.errors.constData());
    return py.finished && py.exitCode == 0;
}
