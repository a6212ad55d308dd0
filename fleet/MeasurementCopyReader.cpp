#include "fleet/MeasurementCopyReader.h"

#include <QtEndian>
#include <bit>

namespace fleet {

namespace {

constexpr char Signature[] = "PGCOPY\n\377\r\n";
constexpr size_t SignatureSize = 11; // with its zero byte
constexpr size_t HeaderSize = SignatureSize + 8;
constexpr int16_t Fields = 6;
// Days from 30 December 1899 (the record's day 0) to 1 January 2000 (PostgreSQL's).
constexpr double PgEpochDay = 36526;

template <class T> T Big(const char* p) {
    return qFromBigEndian<T>(p);
}

double BigDouble(const char* p) {
    return std::bit_cast<double>(Big<uint64_t>(p));
}

} // namespace

TMeasRecord RecordOfRow(int16_t board, int16_t channel, int64_t loggerTimeUs, int16_t range,
                        const double* rx, const double* xx) {
    TMeasRecord r;
    r.Board = board - 1;
    r.Channel = channel - 1;
    r.Range = range;
    r.Rx = rx ? *rx : OverflowValue;
    r.Xx = xx ? *xx : OverflowValue;
    r.Time = double(loggerTimeUs) / 86'400'000'000.0 + PgEpochDay;
    return r;
}

bool MeasurementCopyReader::Feed(std::string_view bytes, std::vector<TMeasRecord>& out) {
    if (failed_)
        return false;
    if (ended_) {
        failed_ = !bytes.empty();
        return !failed_;
    }
    if (pending_.isEmpty()) {
        const size_t used = Parse(bytes, out);
        pending_.append(bytes.data() + used, qsizetype(bytes.size() - used));
    } else {
        pending_.append(bytes.data(), qsizetype(bytes.size()));
        const size_t used = Parse({pending_.constData(), size_t(pending_.size())}, out);
        pending_.remove(0, qsizetype(used));
    }
    if (ended_ && !pending_.isEmpty())
        failed_ = true;
    return !failed_;
}

size_t MeasurementCopyReader::Parse(std::string_view data, std::vector<TMeasRecord>& out) {
    size_t at = 0;
    const char* p = data.data();
    const size_t n = data.size();
    if (!headerRead_) {
        if (n < HeaderSize)
            return 0;
        if (std::string_view(p, SignatureSize) != std::string_view(Signature, SignatureSize)) {
            failed_ = true;
            return 0;
        }
        const uint32_t extension = Big<uint32_t>(p + SignatureSize + 4);
        if (n - HeaderSize < extension)
            return 0;
        at = HeaderSize + extension;
        headerRead_ = true;
    }
    while (!ended_ && !failed_ && n - at >= 2) {
        const int16_t fields = Big<int16_t>(p + at);
        if (fields == -1) {
            ended_ = true;
            at += 2;
            break;
        }
        if (fields != Fields) {
            failed_ = true;
            break;
        }
        // Six fields: three int2, an int8, two float8 or NULL; each after its length.
        size_t f = at + 2;
        const char* value[Fields] = {};
        static constexpr int32_t Sizes[Fields] = {2, 2, 8, 2, 8, 8};
        bool complete = true;
        for (int i = 0; i < Fields; ++i) {
            if (n - f < 4) {
                complete = false;
                break;
            }
            const int32_t size = Big<int32_t>(p + f);
            f += 4;
            if (size == -1 && i >= 4)
                continue;
            if (size != Sizes[i]) {
                failed_ = true;
                break;
            }
            if (n - f < size_t(size)) {
                complete = false;
                break;
            }
            value[i] = p + f;
            f += size_t(size);
        }
        if (failed_ || !complete)
            break;
        const double rx = value[4] ? BigDouble(value[4]) : 0;
        const double xx = value[5] ? BigDouble(value[5]) : 0;
        out.push_back(RecordOfRow(Big<int16_t>(value[0]), Big<int16_t>(value[1]),
                                  Big<int64_t>(value[2]), Big<int16_t>(value[3]),
                                  value[4] ? &rx : nullptr, value[5] ? &xx : nullptr));
        at = f;
    }
    return at;
}

} // namespace fleet
