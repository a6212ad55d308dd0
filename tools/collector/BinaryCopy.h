#pragma once
// Rows in PostgreSQL's binary COPY format: a header, then per row the number of fields and each
// field as its length and its bytes (network order), then a trailer. Binary rows cost the server
// no text parsing, which is most of what a text COPY of measurements spends.
#include <cstdint>
#include <span>

#include <QByteArray>
#include <QHostAddress>
#include <QUuid>

namespace collector {

class BinaryCopy {
public:
    // Starts with the format's header.
    BinaryCopy();

    void Row(int16_t fields);
    void Null();
    void Int2(int16_t v);
    void Int4(int32_t v);
    void Int8(int64_t v);
    void Float8(double v);
    void Text(const QByteArray& utf8);
    void Uuid(const QUuid& v);
    // An inet value: one host address, IPv4 or IPv6.
    void Inet(const QHostAddress& address);
    // timestamp and timestamptz: microseconds since 2000-01-01 00:00:00 (UTC for timestamptz).
    void Timestamp(int64_t microseconds) { Int8(microseconds); }
    // A bytea of `size` bytes that follow with Append, in as many pieces as the caller likes,
    // so that a report of many megabytes never has to be held twice.
    void BytesField(int64_t size);
    void Append(std::span<const uint8_t> bytes);
    // The end of the data.
    void Trailer();

    qsizetype Size() const { return data_.size(); }
    // What was written so far, handed over and forgotten.
    QByteArray Take();

private:
    void Field(int32_t size);
    QByteArray data_;
};

// Milliseconds since 1970 UTC as microseconds since 2000-01-01 UTC (timestamptz).
int64_t PgMicroseconds(int64_t unixMs);

} // namespace collector
