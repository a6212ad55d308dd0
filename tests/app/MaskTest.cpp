// Electrode selection: the check boxes always show the selected board's mask, and nothing the
// program does to the boxes changes a mask.
#include <QCheckBox>

#include "tests/app/ConsoleFixture.h"
#include "widgets/RadioGroup.h"

namespace {
QString Box(int channel) {
    return QString("Ch%1SelChck").arg(channel);
}
} // namespace

TEST_F(ConsoleFixture, BoxesEditTheSelectedBoardsMaskOnly) {
    Start();
    Find<QCheckBox>(Box(1))->click();
    Find<QCheckBox>(Box(16))->click();
    EXPECT_EQ(link->BoardMask(0), 0x8001);

    auto* boards = Find<RadioGroup>("BoardGrp");
    boards->PickItem(1);
    EXPECT_EQ(Text("ChannelGrp"), " Board 2 ");
    for (int c = 1; c <= 16; ++c)
        EXPECT_FALSE(Checked(Box(c))) << c;
    EXPECT_EQ(link->BoardMask(1), 0);

    boards->PickItem(0);
    for (int c = 1; c <= 16; ++c)
        EXPECT_EQ(Checked(Box(c)), c == 1 || c == 16) << c;
    EXPECT_EQ(link->BoardMask(0), 0x8001);
}

TEST_F(ConsoleFixture, CheckAllAndClearGoOutAsTheThirdBoardsMask) {
    Start();
    Find<RadioGroup>("BoardGrp")->PickItem(2);
    Click("SetSelectionBtn");
    EXPECT_EQ(link->BoardMask(2), 0xFFFF);
    for (int c = 1; c <= 16; ++c)
        EXPECT_TRUE(Checked(Box(c)));
    Click("SetMaskBtn");
    QByteArray frame = pty.Read(20);
    ASSERT_EQ(frame.size(), 20);
    EXPECT_EQ(static_cast<uint8_t>(frame[1]), 130);
    EXPECT_EQ(static_cast<uint8_t>(frame[7]), 0xFF);
    EXPECT_EQ(static_cast<uint8_t>(frame[8]), 0xFF);
    EXPECT_EQ(frame.count('\0'), 14); // every other board is clear

    Click("ClearSelectionBtn");
    Click("SetMaskBtn");
    frame = pty.Read(20);
    ASSERT_EQ(frame.size(), 20);
    EXPECT_EQ(static_cast<uint8_t>(frame[7]), 0x00);
    EXPECT_EQ(static_cast<uint8_t>(frame[8]), 0x00);
}

TEST_F(ConsoleFixture, AMaskAnswerShowsTheSelectedBoardWithoutCorruptingAnyMask) {
    Start();
    Find<RadioGroup>("BoardGrp")->PickItem(1);
    // Sixteen masks: board k has the mask k * 0x0101 + 1.
    std::vector<uint8_t> data;
    for (int k = 0; k < 16; ++k) {
        const uint16_t m = static_cast<uint16_t>(k * 0x0101 + 1);
        data.push_back(static_cast<uint8_t>(m & 0xFF));
        data.push_back(static_cast<uint8_t>(m >> 8));
    }
    const std::vector<uint8_t> answer = frame::Build(frame::AnswerStart, 252, data);
    for (uint8_t b : answer)
        link->RS232Receive(b);
    EXPECT_EQ(Text("ComStatusTx"), "Electrode mask");
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(link->BoardMask(k), k * 0x0101 + 1) << k;
    // Board 2 shows 0x0102: channels 2 and 9.
    for (int c = 1; c <= 16; ++c)
        EXPECT_EQ(Checked(Box(c)), c == 2 || c == 9) << c;
}
