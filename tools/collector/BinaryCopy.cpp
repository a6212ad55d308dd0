#include "tools/collector/BinaryCopy.h"

#include <bit>
#include <cstring>

#include <QtEndian>

namespace collector {

namespace {

constexpr char Signature[] = "PGCOPY\n\377\r\n";  // 11 bytes with its zero byte
constexpr int64_t EpochShiftMs = 946'684'800'000; // 1970-01-01 to 2000-01-01
constexpr uint8_t PgAfInet = 2;                   // PostgreSQL's own family codes
constexpr uint8_t PgAfInet6 = 3;

template <class T> void Put(QByteArray& out, T v) {
    char bytes[sizeof(T)];
    qToBigEndian(v, bytes);
    out.append(bytes, sizeof(T));
}

} // namespace

BinaryCopy::BinaryCopy() {
    data_.append(Signature, sizeof Signature);
    Put<int32_t>(data_, 0); // flags
    Put<int32_t>(data_, 0); // header extension
}

void BinaryCopy::Row(int16_t fields) {
    Put(data_, fields);
}

void BinaryCopy::Field(int32_t size) {
    Put(data_, size);
}

void BinaryCopy::Null() {
    Field(-1);
}

void BinaryCopy::Int2(int16_t v) {
    Field(2);
    Put(data_, v);
}

void BinaryCopy::Int4(int32_t v) {
    Field(4);
    Put(data_, v);
}

void BinaryCopy::Int8(int64_t v) {
    Field(8);
    Put(data_, v);
}

void BinaryCopy::Float8(double v) {
    Field(8);
    Put(data_, std::bit_cast<uint64_t>(v));
}

void BinaryCopy::Text(const QByteArray& utf8) {
    Field(static_cast<int32_t>(utf8.size()));
    data_.append(utf8);
}

void BinaryCopy::Uuid(const QUuid& v) {
    Field(16);
    data_.append(v.toRfc4122());
}

void BinaryCopy::Inet(const QHostAddress& address) {
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        Field(8);
        data_.append(static_cast<char>(PgAfInet));
        data_.append(static_cast<char>(32)); // bits
        data_.append('\0');                  // not a cidr value
        data_.append(static_cast<char>(4));
        Put<uint32_t>(data_, address.toIPv4Address());
        return;
    }
    const Q_IPV6ADDR v6 = address.toIPv6Address();
    Field(20);
    data_.append(static_cast<char>(PgAfInet6));
    data_.append(static_cast<char>(128));
    data_.append('\0');
    data_.append(static_cast<char>(16));
    data_.append(reinterpret_cast<const char*>(v6.c), 16);
}

void BinaryCopy::BytesField(int64_t size) {
    Field(static_cast<int32_t>(size));
}

void BinaryCopy::Append(std::span<const uint8_t> bytes) {
    data_.append(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

void BinaryCopy::Trailer() {
    Put<int16_t>(data_, -1);
}

QByteArray BinaryCopy::Take() {
    QByteArray out;
    out.swap(data_);
    return out;
}

int64_t PgMicroseconds(int64_t unixMs) {
    return (unixMs - EpochShiftMs) * 1000;
}

} // namespace collector
