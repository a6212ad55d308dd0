#include "export/DataFileConversion.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "base/DecimalText.h"
#include "base/RegularFile.h"
#include "base/ReplacingFile.h"
#include "base/StrToInt.h"
#include "buffer/BufferTextFile.h"
#include "export/RuntimeIoText.h"
#include "records/DateTime.h"

namespace {

constexpr double VoidMark = OverflowValue;
// Longest field text shown in a failure message; a binary file can make a "field" of megabytes.
constexpr size_t ShownFieldChars = 80;
constexpr size_t ReadChunk = 1 << 20;
constexpr int64_t WriteChunkRecords = 16384;

bool IsBlank(char c) {
    return c == ' ';
}

// The k-th (from 1) piece of `text` cut at `sep`; empty beyond the last separator.
std::string_view FieldOf(std::string_view text, char sep, int k) {
    size_t from = 0;
    for (int i = 1; i < k; ++i) {
        const size_t at = text.find(sep, from);
        if (at == std::string_view::npos)
            return {};
        from = at + 1;
    }
    const size_t to = text.find(sep, from);
    return text.substr(from, to == std::string_view::npos ? std::string_view::npos : to - from);
}

// Fields 1..7 of a line after blank collapsing: the runs of non-blanks in order, since a
// collapsed line has single blanks between them and no blank at its start.
struct ItemFields {
    std::string_view f[7];
};

ItemFields SplitItemLine(std::string_view line) {
    ItemFields out;
    size_t i = 0;
    for (int k = 0; k < 7; ++k) {
        while (i < line.size() && IsBlank(line[i]))
            ++i;
        const size_t start = i;
        while (i < line.size() && !IsBlank(line[i]))
            ++i;
        out.f[k] = line.substr(start, i - start);
    }
    return out;
}

QString ShownField(std::string_view field) {
    if (field.size() <= ShownFieldChars)
        return QString::fromLatin1(field.data(), static_cast<qsizetype>(field.size()));
    return QString::fromLatin1(field.data(), ShownFieldChars) + QStringLiteral("...");
}

// The integer fields of an item line, read in the line's order so that the first bad one is the
// one reported; after a failure the rest read as 0.
class IntegerFields {
public:
    // Fields stored as unsigned 8-bit and 16-bit values: the integer modulo 256 or 65536.
    int Byte(std::string_view field) { return static_cast<uint8_t>(Integer(field)); }
    int Word(std::string_view field) { return static_cast<uint16_t>(Integer(field)); }
    // The first field that was no integer, if any.
    Result<void> Outcome() const { return outcome_; }

private:
    int32_t Integer(std::string_view field) {
        int32_t value = 0;
        if (!outcome_)
            return 0;
        if (!TryStrToInt(field, value))
            outcome_ =
                Fail(QStringLiteral("'%1' is not a valid integer value").arg(ShownField(field)));
        return value;
    }

    Result<void> outcome_;
};

// Reads a file in large chunks and hands out its lines without their LF or CR LF, counting them;
// a line longer than MaxLineBytes fails, so no line grows without bound.
class LineReader {
public:
    explicit LineReader(int fd) : fd_(fd), buf_(ReadChunk, '\0') {}

    // The next line, or none at the file's end.
    Result<std::optional<std::string_view>> Next() {
        carry_.clear();
        ++number_;
        for (;;) {
            const std::string_view rest(buf_.data() + pos_, end_ - pos_);
            const size_t lf = rest.find('\n');
            if (lf != std::string_view::npos) {
                pos_ += lf + 1;
                return Give(carry_.empty() ? rest.substr(0, lf)
                                           : std::string_view(carry_.append(rest, 0, lf)));
            }
            carry_.append(rest);
            // One byte more is allowed for a CR before the LF.
            if (carry_.size() > MaxLineBytes + 1)
                return TooLong();
            pos_ = end_ = 0;
            const Result<bool> filled = Fill();
            if (!filled)
                return tl::unexpected(filled.error());
            if (!*filled) {
                if (carry_.empty())
                    return std::nullopt;
                return Give(carry_);
            }
        }
    }
    // The number of the line last handed out, from 1.
    int64_t Number() const { return number_; }

private:
    Result<std::optional<std::string_view>> Give(std::string_view text) const {
        if (!text.empty() && text.back() == '\r')
            text.remove_suffix(1);
        if (text.size() > MaxLineBytes)
            return TooLong();
        return text;
    }

    tl::unexpected<Error> TooLong() const {
        return Fail(
            QStringLiteral("Line %1 is longer than %2 characters").arg(number_).arg(MaxLineBytes));
    }

    // Whether bytes came; none at the file's end.
    Result<bool> Fill() {
        for (;;) {
            const ssize_t n = ::read(fd_, buf_.data(), buf_.size());
            if (n > 0) {
                end_ = static_cast<size_t>(n);
                return true;
            }
            if (n == 0)
                return false;
            if (errno != EINTR)
                return Fail(RuntimeIoText(errno));
        }
    }

    int fd_;
    std::string buf_;
    size_t pos_ = 0;
    size_t end_ = 0;
    std::string carry_;
    int64_t number_ = 0;
};

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Opens a regular file for reading; anything else (a folder, a device, a pipe) is refused before
// a byte is read, without waiting for a pipe's writer.
Result<int> OpenForReading(const QString& fileName) {
    const RegularFileOpen file = fileName.isEmpty() ? RegularFileOpen{-1, ENOENT}
                                                    : OpenRegularFile(QFile::encodeName(fileName));
    if (!file.Ok())
        return Fail(RuntimeIoText(file.error == 0 || file.error == EISDIR ? EACCES : file.error));
    return file.fd;
}

// The records go to a new file beside BinConv.dat that replaces it once complete, so a failure
// leaves the previous file as it was.
Result<void> WriteBinConv(const RecordStream& pool, const QString& path) {
    ReplacingFile file(path);
    if (!file.Open())
        return Fail(QStringLiteral("Cannot create file %1").arg(path));
    QByteArray chunk;
    for (int64_t k = 0; k < pool.Count(); k += WriteChunkRecords) {
        const int64_t n = std::min(WriteChunkRecords, pool.Count() - k);
        chunk.resize(static_cast<qsizetype>(n * RecordSize));
        for (int64_t i = 0; i < n; ++i) {
            const TMeasRecord rec = pool.At(k + i);
            std::memcpy(chunk.data() + i * RecordSize, &rec, RecordSize);
        }
        if (!file.Write(chunk))
            return Fail(QStringLiteral("Stream write error"));
    }
    if (!file.Commit())
        return Fail(QStringLiteral("Stream write error"));
    return {};
}

} // namespace

double ConvertedValue(std::string_view field, const FormatSettings& fs) {
    std::string text;
    text.reserve(field.size());
    for (char c : field)
        if (c != 'k')
            text += c;
    const char decimal = Latin1Of(fs.decimalSeparator);
    const std::optional<double> number = text.empty() || text.front() == '?'
                                             ? std::nullopt
                                             : ReadDecimal(text, {std::string_view(&decimal, 1)});
    if (!number)
        return VoidMark;
    const double whole = std::trunc(*number);
    if (whole < -2147483648.0 || whole > 2147483647.0)
        return VoidMark;
    // The file holds the decoded value times 1000; back to the decoder's scale.
    return whole / 1000.0;
}

bool IsPassedOverLine(std::string_view line) {
    if (line.find_first_not_of(' ') == std::string_view::npos)
        return true;
    // The column header, compared word by word so that its padding does not matter: its seven
    // words and nothing after them.
    static const ItemFields header = SplitItemLine(ColumnHeaderLine);
    const ItemFields f = SplitItemLine(line);
    for (int k = 0; k < 7; ++k)
        if (f.f[k] != header.f[k])
            return false;
    const size_t end = static_cast<size_t>(f.f[6].data() - line.data()) + f.f[6].size();
    return line.find_first_not_of(' ', end) == std::string_view::npos;
}

Result<TMeasRecord> ParseItemLine(std::string_view line, int currentYear,
                                  const FormatSettings& fs) {
    const ItemFields f = SplitItemLine(line);
    IntegerFields ints;
    TMeasRecord rec;
    rec.Counter = ints.Word(f.f[0]);
    const std::string_view datePart = FieldOf(f.f[1], '-', 1);
    const std::string_view timePart = FieldOf(f.f[1], '-', 2);
    const int day = ints.Byte(FieldOf(datePart, '.', 1));
    const int month = ints.Byte(FieldOf(datePart, '.', 2));
    // The time separator is the one of the locale the file was saved under: whatever follows
    // the hour's digits, so a file reads back under any locale.
    const size_t hourEnd = timePart.find_first_not_of("0123456789");
    const char timeSep = hourEnd == std::string_view::npos ? ':' : timePart[hourEnd];
    const int hour = ints.Byte(FieldOf(timePart, timeSep, 1));
    const int minute = ints.Byte(FieldOf(timePart, timeSep, 2));
    const int second = ints.Byte(FieldOf(timePart, timeSep, 3));
    rec.Board = ints.Byte(f.f[2]) - 1;
    rec.Channel = ints.Byte(f.f[3]) - 1;
    rec.Range = ints.Word(f.f[4]);
    if (Result<void> read = ints.Outcome(); !read)
        return tl::unexpected(read.error());
    rec.Rx = ConvertedValue(f.f[5], fs);
    rec.Xx = ConvertedValue(f.f[6], fs);
    // The time is checked before the date, so a line bad in both reports the time.
    const Result<double> time = dt::TryEncodeTime(hour, minute, second, 0);
    if (!time)
        return tl::unexpected(time.error());
    const Result<double> date = dt::TryEncodeDate(currentYear, month, day);
    if (!date)
        return tl::unexpected(date.error());
    rec.Time = dt::ComposeDateTime(*date, *time);
    return rec;
}

QString ConversionError::located() const {
    if (!line)
        return error.text;
    if (*line <= 0)
        return QStringLiteral("%1: %2").arg(file, error.text);
    return QStringLiteral("%1, line %2: %3").arg(file).arg(*line).arg(error.text);
}

tl::expected<void, ConversionError> ConvertDataFile(const QString& fileName, RecordStream& filePool,
                                                    const QString& programFolder,
                                                    const FormatSettings& fs, int currentYear) {
    const auto failed = [&](const Error& e, std::optional<int64_t> line) {
        return tl::unexpected(ConversionError{e, fileName, line});
    };
    const Result<int> opened = OpenForReading(fileName);
    if (!opened)
        return failed(opened.error(), 0);
    const Fd file(*opened);
    LineReader reader(*opened);
    // "Data Saved: ...", then the measurement settings; the pool is emptied once the file reads.
    if (const auto saved = reader.Next(); !saved)
        return failed(saved.error(), reader.Number());
    filePool.Clear();
    if (const auto settings = reader.Next(); !settings)
        return failed(settings.error(), reader.Number());
    for (;;) {
        const Result<std::optional<std::string_view>> line = reader.Next();
        if (!line)
            return failed(line.error(), reader.Number());
        if (!*line)
            break;
        if (IsPassedOverLine(**line))
            continue;
        const Result<TMeasRecord> rec = ParseItemLine(**line, currentYear, fs);
        if (!rec)
            return failed(rec.error(), reader.Number());
        filePool.Append(*rec);
    }
    if (Result<void> written =
            WriteBinConv(filePool, programFolder + QLatin1String(BinConvFileName));
        !written)
        return failed(written.error(), std::nullopt);
    return {};
}
