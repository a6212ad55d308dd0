// Rounding and the value encodings of the link, both ways.
#include <gtest/gtest.h>

#include "base/Rounding.h"
#include "link/Encodings.h"

TEST(Rounding, HalvesGoToTheEvenNeighbourBothWays) {
    EXPECT_EQ(Round(0.5), 0);
    EXPECT_EQ(Round(1.5), 2);
    EXPECT_EQ(Round(2.5), 2);
    EXPECT_EQ(Round(3.5), 4);
    EXPECT_EQ(Round(-0.5), 0);
    EXPECT_EQ(Round(-1.5), -2);
    EXPECT_EQ(Round(-2.5), -2);
    EXPECT_EQ(Round(2.4999), 2);
    EXPECT_EQ(Round(2.5001), 3);
    EXPECT_EQ(Round(-2.5001), -3);
}

TEST(Encodings, DescribedExamplesBothWays) {
    EXPECT_EQ(enc::FrequencyCode(1000), 33554u);
    EXPECT_NEAR(enc::FrequencyFromCode(33554), 999.99, 0.005);
    EXPECT_EQ(enc::FrequencyCode(100), 3355u);
    EXPECT_EQ(enc::FrequencyCode(20000), 671089u);
    EXPECT_EQ(enc::VoltageCode(0.1), 4);
    EXPECT_NEAR(enc::VoltageFromCode(4), 0.098, 0.0005);
    EXPECT_EQ(enc::VoltageCode(5), 255);
    EXPECT_DOUBLE_EQ(enc::VoltageFromCode(255), 5.0);
    EXPECT_EQ(enc::MultiplierCode(2.0), 512);
    EXPECT_DOUBLE_EQ(enc::MultiplierFromCode(512), 2.0);
    EXPECT_EQ(enc::LatencyCode(300), 3);
    EXPECT_DOUBLE_EQ(enc::LatencyFromCode(3), 300.0);
    EXPECT_EQ(enc::IndexCode(1), 0);
    EXPECT_EQ(enc::IndexCode(8), 7);
    EXPECT_EQ(enc::ElectrodeSystemCode(true), 255);
    EXPECT_EQ(enc::ElectrodeSystemCode(false), 0);
    EXPECT_TRUE(enc::ElectrodeSystemFromCode(1));
    EXPECT_FALSE(enc::ElectrodeSystemFromCode(0));
}

TEST(Encodings, HalvesInTheEncodingsRoundToEven) {
    // 250 ms and 350 ms are 2.5 and 3.5 latency steps.
    EXPECT_EQ(enc::LatencyCode(250), 2);
    EXPECT_EQ(enc::LatencyCode(350), 4);
    // 0.087890625 V is 4.5 voltage steps: Round gives 4, the code is 3.
    EXPECT_EQ(enc::VoltageCode(0.087890625), 3);
    // 0.107421875 V is 5.5 steps.
    EXPECT_EQ(enc::VoltageCode(0.107421875), 5);
    // 1/512 and 3/512 are half multiplier steps.
    EXPECT_EQ(enc::MultiplierCode(1.0 / 512), 0);
    EXPECT_EQ(enc::MultiplierCode(3.0 / 512), 2);
}

TEST(Encodings, EveryFrequencyCodeOfTheControlRangeReadsBackWithinHalfAStep) {
    for (int hz = 100; hz <= 20000; ++hz) {
        const uint32_t code = enc::FrequencyCode(hz);
        ASSERT_LE(code, 0xFFFFFFu);
        ASSERT_NEAR(enc::FrequencyFromCode(code), hz, 0.5 / 33.554432 + 1e-9) << hz;
        ASSERT_EQ(Round(enc::FrequencyFromCode(code)), hz) << hz;
    }
}
