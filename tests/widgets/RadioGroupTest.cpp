// The radio group: the program's choice is silent, the operator's raises clicked.
#include "widgets/RadioGroup.h"

#include <gtest/gtest.h>

#include <QLayout>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

namespace {

TEST(RadioGroup, HoldsCaptionAndItems) {
    RadioGroup g(" Connection Type: ", {"USB", "LAN", "GPRS"});
    EXPECT_EQ(g.title(), " Connection Type: ");
    EXPECT_EQ(g.Count(), 3);
    EXPECT_EQ(g.Items(), QStringList({"USB", "LAN", "GPRS"}));
    ASSERT_NE(g.Button(2), nullptr);
    EXPECT_EQ(g.Button(2)->text(), "GPRS");
    EXPECT_EQ(g.Button(3), nullptr);
    EXPECT_EQ(g.ItemIndex(), -1);
}

TEST(RadioGroup, ProgramChoiceRaisesNoClick) {
    RadioGroup g("x", {"a", "b", "c"});
    QSignalSpy spy(&g, &RadioGroup::clicked);
    g.SetItemIndex(2);
    EXPECT_EQ(g.ItemIndex(), 2);
    EXPECT_TRUE(g.Button(2)->isChecked());
    g.SetItemIndex(0);
    EXPECT_EQ(g.ItemIndex(), 0);
    EXPECT_FALSE(g.Button(2)->isChecked());
    EXPECT_EQ(spy.count(), 0);
}

TEST(RadioGroup, IndexOutsideTheItemsClearsTheChoice) {
    RadioGroup g("x", {"a", "b"});
    g.SetItemIndex(1);
    g.SetItemIndex(5);
    EXPECT_EQ(g.ItemIndex(), -1);
    EXPECT_FALSE(g.Button(0)->isChecked());
    EXPECT_FALSE(g.Button(1)->isChecked());
    g.SetItemIndex(1);
    g.SetItemIndex(-1);
    EXPECT_EQ(g.ItemIndex(), -1);
    g.SetItemIndex(0);
    EXPECT_EQ(g.ItemIndex(), 0) << "the group still selects after being cleared";
}

TEST(RadioGroup, OperatorPickRaisesClickedWithIndex) {
    RadioGroup g("x", {"a", "b", "c"});
    g.SetItemIndex(0);
    g.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
    QSignalSpy spy(&g, &RadioGroup::clicked);
    QTest::mouseClick(g.Button(1), Qt::LeftButton);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), 1);
    EXPECT_EQ(g.ItemIndex(), 1);
    EXPECT_FALSE(g.Button(0)->isChecked());

    g.PickItem(2);
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(1).at(0).toInt(), 2);
    EXPECT_EQ(g.ItemIndex(), 2);

    g.PickItem(7);
    EXPECT_EQ(spy.count(), 2);
    EXPECT_EQ(g.ItemIndex(), 2);
}

TEST(RadioGroup, NewItemsReplaceTheOldAndClearTheChoice) {
    RadioGroup g("x", {"a", "b", "c"});
    g.SetItemIndex(1);
    g.SetItems({"p", "q"});
    EXPECT_EQ(g.Count(), 2);
    EXPECT_EQ(g.ItemIndex(), -1);
    EXPECT_EQ(g.Button(0)->text(), "p");
    EXPECT_EQ(g.findChildren<QRadioButton*>().size(), 2);
}

TEST(RadioGroup, ItemsFillColumnsTopToBottom) {
    RadioGroup g("x", {"1", "2", "3", "4"});
    g.SetColumns(2);
    g.resize(g.sizeHint());
    g.layout()->activate();
    EXPECT_EQ(g.Button(0)->x(), g.Button(1)->x());
    EXPECT_LT(g.Button(0)->y(), g.Button(1)->y());
    EXPECT_GT(g.Button(2)->x(), g.Button(0)->x());
    EXPECT_EQ(g.Button(2)->y(), g.Button(0)->y());
}

} // namespace
