#include "tools/logger/ItemDump.h"

#include <QSaveFile>

#include "base/Failure.h"
#include "buffer/BufferTextFile.h"
#include "records/MeasDecode.h"

namespace logger {

QByteArray ItemDumpText(const std::vector<MeasurementBytes>& items, int year,
                        const FormatSettings& fs) {
    QByteArray text;
    text.reserve(static_cast<qsizetype>(items.size()) * 48);
    for (const MeasurementBytes& b : items) {
        text += ItemLine(DecodeMeasurement(b.data(), year).record, fs);
        text += "\r\n";
    }
    return text;
}

void WriteItemDump(const QString& path, const std::vector<MeasurementBytes>& items, int year,
                   const FormatSettings& fs) {
    const QByteArray text = ItemDumpText(items, year, fs);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        throw Failure(QStringLiteral("Cannot write file %1: %2").arg(path, file.errorString()));
}

} // namespace logger
