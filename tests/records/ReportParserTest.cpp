// The GPRS report stream: items of 0xA5 and ten data bytes.
#include <gtest/gtest.h>

#include "records/ReportParser.h"
#include "tests/link/LinkTestUtil.h"

namespace {

struct Collector {
    ReportParser parser;
    std::vector<std::vector<uint8_t>> items;
    Collector() {
        parser.onItem = [this](std::span<const uint8_t, ReportParser::ItemSize> item) {
            items.emplace_back(item.begin(), item.end());
        };
    }
    void Feed(const std::vector<uint8_t>& bytes) {
        for (uint8_t b : bytes)
            parser.ParseReportByte(b);
    }
};

const std::vector<uint8_t> ItemA = Hex("00 03 21 30 39 80 00 3F 8C 72");
const std::vector<uint8_t> ItemB = Hex("01 A5 00 00 0A A5 A5 00 00 11");

std::vector<uint8_t> Stream(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

} // namespace

TEST(ReportParser, OneItemAfterNoiseAndStartBytesInsideAreData) {
    Collector c;
    c.Feed(Stream({Hex("00 A5"), ItemA}));
    ASSERT_EQ(c.items.size(), 1u);
    EXPECT_EQ(c.items[0], ItemA);
    EXPECT_EQ(c.parser.ReportState, 0);

    c.Feed(Stream({Hex("A5"), ItemB}));
    ASSERT_EQ(c.items.size(), 2u);
    EXPECT_EQ(c.items[1], ItemB);
}

TEST(ReportParser, ItemsBackToBackAndNoiseBetween) {
    Collector c;
    c.Feed(Stream({Hex("A5"), ItemA, Hex("A5"), ItemB}));
    ASSERT_EQ(c.items.size(), 2u);
    EXPECT_EQ(c.items[0], ItemA);
    EXPECT_EQ(c.items[1], ItemB);

    c.Feed(Stream({Hex("5A 00 FF 13"), Hex("A5"), ItemA, Hex("01 02")}));
    ASSERT_EQ(c.items.size(), 3u);
    EXPECT_EQ(c.items[2], ItemA);
    // Nine bytes of an item are not an item.
    c.Feed(Stream({Hex("A5"), {ItemA.begin(), ItemA.end() - 1}}));
    EXPECT_EQ(c.items.size(), 3u);
    EXPECT_EQ(c.parser.ReportState, 1);
    EXPECT_EQ(c.parser.ReportCount, 9);
}

TEST(ReportParser, ResetAndStrayStatesGoBackToIdle) {
    Collector c;
    c.Feed(Stream({Hex("A5"), {ItemA.begin(), ItemA.begin() + 4}}));
    c.parser.ResetReportParser();
    // The rest of the broken item holds no A5 and is skipped.
    c.Feed({ItemA.begin() + 4, ItemA.end()});
    EXPECT_TRUE(c.items.empty());
    EXPECT_EQ(c.parser.ReportState, 0);

    c.parser.ReportState = 7;
    c.parser.ParseReportByte(0xA5); // consumed by the return to idle
    EXPECT_EQ(c.parser.ReportState, 0);
    c.Feed(ItemA);
    EXPECT_TRUE(c.items.empty());

    // A count left out of range from outside starts the item over instead of writing past it.
    c.parser.ReportState = 1;
    c.parser.ReportCount = 1000;
    c.Feed(ItemB);
    ASSERT_EQ(c.items.size(), 1u);
    EXPECT_EQ(c.items[0], ItemB);
}

TEST(ReportParser, FailureWhileActingLeavesTheParserIdle) {
    ReportParser parser;
    int seen = 0;
    parser.onItem = [&](std::span<const uint8_t, ReportParser::ItemSize> item) {
        ++seen;
        if (const Result<DecodedMeasurement> m = DecodeReportItem(item, 2023); !m)
            throw Failure(m.error().text);
    };
    // 29 February in a common year.
    const std::vector<uint8_t> bad = Hex("A5 20 00 00 00 00 00 00 00 00 D2");
    for (size_t i = 0; i + 1 < bad.size(); ++i)
        parser.ParseReportByte(bad[i]);
    EXPECT_THROW(parser.ParseReportByte(bad.back()), Failure);
    EXPECT_EQ(parser.ReportState, 0);
    for (uint8_t b : Stream({Hex("A5"), ItemA}))
        parser.ParseReportByte(b);
    EXPECT_EQ(seen, 2);
}

TEST(ReportParser, ItemDecodesAsAMeasurementWithoutCounter) {
    const DecodedMeasurement m =
        DecodeReportItem(std::span<const uint8_t, ReportParser::ItemSize>(ItemA.data(), 10), 2024)
            .value();
    EXPECT_EQ(m.record.Board, 0);
    EXPECT_EQ(m.record.Channel, 3);
    EXPECT_EQ(m.record.Range, 1);
    EXPECT_DOUBLE_EQ(m.record.Rx, 12345.0);
    EXPECT_DOUBLE_EQ(m.record.Xx, 327680.0);
    EXPECT_EQ(m.record.Counter, 0);
    EXPECT_EQ(m.values.day, 7);
    EXPECT_EQ(m.values.month, 2);
    EXPECT_EQ(TimeLabelText(m.values), "07.02-09:58:23");
}
