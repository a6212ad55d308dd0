// A saved buffer text file read back for the workbook export: any bytes. The conversion either
// fails with a message and leaves BinConv.dat as it was, or succeeds and BinConv.dat holds
// exactly the pool's records, 40 bytes each, with fields that the item grammar allows.
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "export/DataFileConversion.h"

namespace {
// The overflow mark, or an integer of 32 bits divided by 1000.
bool SaneValue(double v) {
    return v == 65535.0 || (std::isfinite(v) && std::fabs(v) <= 2147483.648);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const QString folder = dir.path() + '/';
    const QString source = folder + "Data.txt";
    const QString binConv = folder + BinConvFileName;
    {
        QFile f(source);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    // A marker that only a complete conversion may replace.
    {
        QFile f(binConv);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        f.write("before");
    }
    RecordStream pool;
    const bool ok = ConvertDataFile(source, pool, folder, FormatSettings{}, 2024).has_value();
    QFile f(binConv);
    if (!f.open(QIODevice::ReadOnly))
        std::abort();
    const QByteArray written = f.readAll();
    if (!ok) {
        if (written != "before")
            std::abort();
        return 0;
    }
    const std::vector<uint8_t> bytes = pool.Bytes();
    if (written.size() != qsizetype(bytes.size()) || written.size() % 40 != 0 ||
        (!bytes.empty() && std::memcmp(written.constData(), bytes.data(), bytes.size()) != 0))
        std::abort();
    for (int64_t k = 0; k < pool.Count(); ++k) {
        const TMeasRecord r = pool.At(k);
        if (r.Counter < 0 || r.Counter > 65535 || r.Board < -1 || r.Board > 254 || r.Channel < -1 ||
            r.Channel > 254 || r.Range < 0 || r.Range > 65535 || !SaneValue(r.Rx) ||
            !SaneValue(r.Xx) || !std::isfinite(r.Time))
            std::abort();
    }
    return 0;
}
