#include <QStringList>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>

#include "BufferTestRecords.h"
#include "buffer/RecordStream.h"

using buffertest::Numbered;

namespace {

void ExpectSame(const TMeasRecord& a, const TMeasRecord& b, int64_t k) {
    EXPECT_EQ(0, std::memcmp(&a, &b, sizeof a)) << "item " << k;
}

// Little-endian fields read byte by byte, independent of the struct's own layout.
int32_t Int32At(const std::vector<uint8_t>& b, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | b[at + static_cast<size_t>(i)];
    return static_cast<int32_t>(v);
}

double DoubleAt(const std::vector<uint8_t>& b, size_t at) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | b[at + static_cast<size_t>(i)];
    double d;
    std::memcpy(&d, &v, sizeof d);
    return d;
}

} // namespace

TEST(RecordStream, EmptyStreamHasNothingToRead) {
    RecordStream s;
    EXPECT_EQ(0, s.Count());
    EXPECT_EQ(0, s.Size());
    EXPECT_TRUE(s.Bytes().empty());
    EXPECT_THROW(s.At(0), std::out_of_range);
    EXPECT_THROW(s.At(-1), std::out_of_range);
}

TEST(RecordStream, AppendAndReadAcrossBlockBoundaries) {
    RecordStream s;
    const int64_t n = 2 * RecordStream::BlockRecords + 3;
    for (int64_t k = 0; k < n; ++k)
        s.Append(Numbered(static_cast<int>(k)));
    ASSERT_EQ(n, s.Count());
    EXPECT_EQ(n * 40, s.Size());
    for (int64_t k = 0; k < n; ++k)
        ExpectSame(Numbered(static_cast<int>(k)), s.At(k), k);
    EXPECT_THROW(s.At(n), std::out_of_range);

    // Bytes() gives the same images back to back, including around the block seams.
    const std::vector<uint8_t> bytes = s.Bytes();
    ASSERT_EQ(static_cast<size_t>(n * 40), bytes.size());
    for (int64_t k : {int64_t{0}, RecordStream::BlockRecords - 1, RecordStream::BlockRecords,
                      2 * RecordStream::BlockRecords, n - 1}) {
        TMeasRecord r;
        std::memcpy(&r, bytes.data() + k * 40, 40);
        ExpectSame(Numbered(static_cast<int>(k)), r, k);
    }
}

TEST(RecordStream, AppendStoresACopy) {
    RecordStream s;
    TMeasRecord r = Numbered(3);
    s.Append(r);
    r.Counter = 99;                         // the caller reuses its record at once
    const int32_t stored = s.At(0).Counter; // a copy: packed fields do not bind to references
    EXPECT_EQ(1003, stored);
}

TEST(RecordStream, BytesAreLittleEndianAtTheRecordOffsets) {
    RecordStream s;
    s.Append(Numbered(1));
    TMeasRecord r;
    r.Board = 0x01020304;
    r.Channel = -2;
    r.Range = 3;
    r.Xx = -12.5;
    r.Rx = 65535.0;
    r.Counter = 0x00ABCDEF;
    r.Time = 46000.75;
    s.Append(r);

    const std::vector<uint8_t> b = s.Bytes();
    ASSERT_EQ(80u, b.size());
    // Board 0x01020304 is stored low byte first.
    EXPECT_EQ(0x04, b[40]);
    EXPECT_EQ(0x03, b[41]);
    EXPECT_EQ(0x02, b[42]);
    EXPECT_EQ(0x01, b[43]);
    EXPECT_EQ(0x01020304, Int32At(b, 40 + 0));
    EXPECT_EQ(-2, Int32At(b, 40 + 4));
    EXPECT_EQ(3, Int32At(b, 40 + 8));
    EXPECT_EQ(-12.5, DoubleAt(b, 40 + 12));
    EXPECT_EQ(65535.0, DoubleAt(b, 40 + 20));
    EXPECT_EQ(0x00ABCDEF, Int32At(b, 40 + 28));
    EXPECT_EQ(46000.75, DoubleAt(b, 40 + 32));
    // The first record sits in bytes 0..39.
    EXPECT_EQ(1001, Int32At(b, 28));
    EXPECT_EQ(0.25, DoubleAt(b, 20));
}

TEST(RecordStream, ClearEmptiesAndStartsAgainAtItemZero) {
    RecordStream s;
    for (int k = 0; k < RecordStream::BlockRecords + 5; ++k)
        s.Append(Numbered(k));
    s.Clear();
    EXPECT_EQ(0, s.Count());
    EXPECT_EQ(0, s.Size());
    EXPECT_THROW(s.At(0), std::out_of_range);

    s.Append(Numbered(7));
    ASSERT_EQ(1, s.Count());
    ExpectSame(Numbered(7), s.At(0), 0);
    EXPECT_THROW(s.At(1), std::out_of_range);
    EXPECT_EQ(40u, s.Bytes().size());
}

namespace {
// Writes down what it hears, as "+counter" and "clear", after its name.
class Journal : public RecordStreamListener {
public:
    Journal(QString name, QStringList& log) : name_(std::move(name)), log_(log) {}
    void Listen(RecordStream* s) { ListenTo(s); }
    void RecordAppended(const TMeasRecord& rec) override {
        log_ << QString("%1 +%2 of %3").arg(name_).arg(rec.Counter).arg(Stream()->Count());
    }
    void StreamCleared() override { log_ << name_ + " clear"; }

private:
    QString name_;
    QStringList& log_;
};
} // namespace

TEST(RecordStream, TellsItsListenersOfAppendsAndClearsUntilEitherSideGoes) {
    QStringList log;
    auto s = std::make_unique<RecordStream>();
    Journal a("a", log);
    auto b = std::make_unique<Journal>("b", log);
    a.Listen(s.get());
    b->Listen(s.get());
    s->Append(Numbered(1));
    s->Clear();
    b.reset(); // a listener that goes leaves its stream
    s->Append(Numbered(2));
    // Taking the records away empties the source, which tells its listeners; the new stream
    // has none of them.
    RecordStream taken(std::move(*s));
    taken.Append(Numbered(3));
    EXPECT_EQ(2, taken.Count()); // the record taken over, and the new one
    EXPECT_EQ(s.get(), a.Stream());
    EXPECT_EQ(QStringList({"a +1001 of 1", "b +1001 of 1", "a clear", "b clear", "a +1002 of 1",
                           "a clear"}),
              log);
    // A stream that goes first leaves its listener listening to nothing.
    s.reset();
    EXPECT_EQ(nullptr, a.Stream());
    a.Listen(&taken);
    taken.Append(Numbered(4));
    a.Listen(nullptr);
    taken.Append(Numbered(5));
    EXPECT_EQ("a +1004 of 3", log.last());
}

TEST(RecordStream, ManyRecordsAtOnceAreStoredInOrderAndToldInOneCall) {
    QStringList log;
    RecordStream s;
    Journal a("a", log);
    a.Listen(&s);
    s.Append(Numbered(1));
    const TMeasRecord more[] = {Numbered(2), Numbered(3)};
    s.Append(more);
    s.Append(std::span<const TMeasRecord>());
    ASSERT_EQ(3, s.Count());
    for (int k = 0; k < 3; ++k)
        ExpectSame(Numbered(k + 1), s.At(k), k);
    // A listener that takes no batch hears each record, with the count after all of them.
    EXPECT_EQ(QStringList({"a +1001 of 1", "a +1002 of 3", "a +1003 of 3"}), log);
}
