#include "buffer/BufferTextFile.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "base/Failure.h"
#include "base/ReplacingFile.h"
#include "base/Rounding.h"
#include "buffer/BufferCellText.h"

namespace {

// From this value on the file writes "?" (wider than the table's exact overflow test).
constexpr double UnknownFrom = 65500.0;
// Lines are gathered into chunks of about this size before they go to the file.
constexpr qsizetype ChunkBytes = 1 << 20;

constexpr char LineEnd[] = "\r\n";

struct Separators {
    char decimal;
    char time;
};

void AppendTwoDigits(QByteArray& out, int value) {
    out += static_cast<char>('0' + value / 10 % 10);
    out += static_cast<char>('0' + value % 10);
}

void AppendInt(QByteArray& out, long long value) {
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, res.ptr - buf);
}

// Fixed2 of value * 1000, or "?" from the threshold on. Fixed2 is too slow for a million lines,
// so values below 1e15 in size take a fast path that gives the same text: the value in
// hundredths, rounded exactly (the product's rounding error is recovered with fma) and halves
// away from zero, then the digits; the sign is shown for every value below zero.
void AppendValue(QByteArray& out, double value, const FormatSettings& fs, char decimal) {
    if (value >= UnknownFrom) {
        out += '?';
        return;
    }
    const double v = value * 1000;
    if (!(std::fabs(v) < 1e15)) {
        out += Fixed2(v, fs).toLatin1(); // huge or not a number: rare
        return;
    }
    const double p = v * 100;
    const double err = std::fma(v, 100, -p); // exactly v * 100 - p
    const double a = std::fabs(p);
    const double aErr = p < 0 ? -err : err;
    const double whole = std::floor(a);
    // (a - whole) - 0.5 is exact, so the sum's sign decides the rounding exactly.
    const long long hundredths = static_cast<long long>(whole) + ((a - whole) - 0.5 + aErr >= 0);
    if (v < 0)
        out += '-';
    AppendInt(out, hundredths / 100);
    out += decimal;
    AppendTwoDigits(out, static_cast<int>(hundredths % 100));
}

void AppendTime(QByteArray& out, double dateTime, char sep) {
    const std::optional<RecordClock> c = RecordClockOf(dateTime);
    if (!c) {
        out += "\?\?.\?\?-\?\?";
        out += sep;
        out += "\?\?";
        out += sep;
        out += "\?\?";
        return;
    }
    AppendTwoDigits(out, c->day);
    out += '.';
    AppendTwoDigits(out, c->month);
    out += '-';
    AppendTwoDigits(out, c->hour);
    out += sep;
    AppendTwoDigits(out, c->minute);
    out += sep;
    AppendTwoDigits(out, c->second);
}

void AppendItemLine(QByteArray& out, const TMeasRecord& rec, const FormatSettings& fs,
                    Separators seps) {
    AppendInt(out, rec.Counter);
    out += "  ";
    AppendTime(out, rec.Time, seps.time);
    out += "  ";
    AppendInt(out, static_cast<long long>(rec.Board) + 1);
    out += "  ";
    AppendInt(out, static_cast<long long>(rec.Channel) + 1);
    out += "  ";
    AppendInt(out, rec.Range);
    out += "  ";
    AppendValue(out, rec.Rx, fs, seps.decimal);
    out += "  ";
    AppendValue(out, rec.Xx, fs, seps.decimal);
}

Separators SeparatorsOf(const FormatSettings& fs) {
    return {Latin1Of(fs.decimalSeparator), Latin1Of(fs.timeSeparator)};
}

} // namespace

QString SettingsLine(double freqHz, double volts, double perHour, double perMin, double repeat,
                     const FormatSettings& fs) {
    return QStringLiteral("Measure Settings: F=") + Int(Round(freqHz)) + QStringLiteral("Hz, U=") +
           Fixed2(volts, fs) + QStringLiteral("V, T=") + Int(Round(perHour)) + ':' +
           Int(Round(perMin)) + QStringLiteral(", Repeat=") + Int(Round(repeat));
}

bool CheckSaveBounds(int64_t from, int64_t to, int64_t n) {
    return from >= 0 && to <= n;
}

QString SavedLine(const QDateTime& now) {
    const QDate d = now.date();
    const QTime t = now.time();
    return QString::asprintf("Data Saved: %02d.%02d.%04d-%02d%02d%02d", d.day(), d.month(),
                             d.year(), t.hour(), t.minute(), t.second());
}

QByteArray ItemLine(const TMeasRecord& rec, const FormatSettings& fs) {
    QByteArray line;
    AppendItemLine(line, rec, fs, SeparatorsOf(fs));
    return line;
}

void WriteBufferTextFile(const QString& path, const RecordStream& pool, int64_t from, int64_t to,
                         const QString& settingsLine, const QDateTime& now,
                         const FormatSettings& fs) {
    WriteBufferTextFile(path, pool.Snapshot(), from, to, settingsLine, now, fs);
}

bool WriteBufferTextFile(const QString& path, const RecordSnapshot& pool, int64_t from, int64_t to,
                         const QString& settingsLine, const QDateTime& now,
                         const FormatSettings& fs, WorkProgress* progress) {
    ReplacingFile file(path);
    if (Result<void> opened = file.Open(); !opened)
        throw Failure(QStringLiteral("Cannot create file %1: %2").arg(path, opened.error().text));
    const auto failWrite = [&](const Error& e) {
        throw Failure(QStringLiteral("Cannot write file %1: %2").arg(path, e.text));
    };

    QByteArray chunk;
    chunk.reserve(ChunkBytes + 512);
    const auto flush = [&] {
        if (Result<void> written = chunk.isEmpty() ? Result<void>() : file.Write(chunk); !written)
            failWrite(written.error());
        chunk.resize(0); // keeps the capacity, unlike clear()
    };

    chunk += SavedLine(now).toLatin1();
    chunk += LineEnd;
    chunk += settingsLine.toLatin1();
    chunk += LineEnd;
    chunk += LineEnd;
    chunk += ColumnHeaderLine;
    chunk += LineEnd;

    const Separators seps = SeparatorsOf(fs);
    // Items from..to-1, stopping early where the pool ends.
    const int64_t end = std::min(to, pool.Count());
    const int64_t first = std::max<int64_t>(from, 0);
    for (int64_t k = first; k < end; ++k) {
        AppendItemLine(chunk, pool.At(k), fs, seps);
        chunk += LineEnd;
        if (chunk.size() >= ChunkBytes) {
            flush();
            if (progress) {
                // Asked between chunks: often enough for a prompt "Cancel", rare enough to cost
                // nothing. The unfinished file is discarded with `file`.
                if (progress->cancel.load(std::memory_order_relaxed))
                    return false;
                progress->done.store(k + 1 - first, std::memory_order_relaxed);
            }
        }
    }
    flush();
    if (progress) {
        if (progress->cancel.load(std::memory_order_relaxed))
            return false;
        progress->done.store(std::max<int64_t>(end - first, 0), std::memory_order_relaxed);
    }
    if (Result<void> committed = file.Commit(); !committed)
        failWrite(committed.error());
    return true;
}
