#pragma once
// Reads a filled workbook back with openpyxl (Debian's python3): every sheet as its rows, each
// row its cells joined by TAB with trailing empty cells dropped; whole numbers show without a
// fraction. A workbook that cannot be read gives an empty map and the reason in `error`.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QStringList>

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
    QProcess py;
    py.start("/usr/bin/python3", {"-c", script, path});
    py.waitForFinished(120000);
    QMap<QString, QStringList> sheets;
    const QJsonObject obj = QJsonDocument::fromJson(py.readAllStandardOutput()).object();
    for (auto it = obj.begin(); it != obj.end(); ++it)
        for (const QJsonValue& row : it.value().toArray())
            sheets[it.key()] << row.toString();
    if (error)
        *error = QString::fromUtf8(py.readAllStandardError());
    return sheets;
}

// Runs a short python3 program with openpyxl on the arguments; true when it exits with 0.
inline bool RunPython(const char* program, const QStringList& args) {
    QProcess py;
    py.setProcessChannelMode(QProcess::ForwardedChannels);
    py.start("/usr/bin/python3", QStringList{"-c", program} + args);
    return py.waitForFinished(120000) && py.exitStatus() == QProcess::NormalExit &&
           py.exitCode() == 0;
}
