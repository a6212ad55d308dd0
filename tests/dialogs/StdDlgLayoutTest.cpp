// What the standard dialog shows, without widgets: titles, captions, results, focus, Escape and
// the sizing arithmetic.
#include "dialogs/StdDlgLayout.h"

#include <gtest/gtest.h>

using namespace stddlg;

namespace {

const QString kApp = QStringLiteral("Impix II.");

StdDlgLayout Lay(uint8_t buttons, int labelWidth = 10, int labelHeight = 13, uint8_t defResult = 0,
                 uint8_t lang = 0, uint8_t type = 0) {
    return LayoutStdDlg(type, buttons, defResult, QStringLiteral("+"), lang, kApp, labelWidth,
                        labelHeight);
}

std::array<QString, 3> Captions(const StdDlgLayout& l) {
    return {l.buttons[0].caption, l.buttons[1].caption, l.buttons[2].caption};
}

TEST(StdDlgTitles, TypeTitlesByLanguage) {
    const char* expected[4][4] = {
        {"Informace", "Potvrzení", "Upozornění", "Chyba"},
        {"Auskunft", "Bestaetigung", "Hinweise", "Fehler"},
        {"Information", "Question", "Warning", "Error"},
        {"Information", "Interrogation", "Avertissement", "Erreur"},
    };
    for (uint8_t lang = 0; lang < 4; ++lang)
        for (uint8_t type = 0; type < 4; ++type)
            EXPECT_EQ(TypeTitle(type, lang), QString::fromUtf8(expected[lang][type]))
                << "lang " << int(lang) << " type " << int(type);
    // The Czech letters are the real ones, not look-alikes.
    EXPECT_EQ(TypeTitle(2, 0).at(7).unicode(), 0x011B);
    EXPECT_EQ(TypeTitle(1, 0).back().unicode(), 0x00ED);
}

TEST(StdDlgTitles, UnknownTypeOrLanguageHasNoTitle) {
    EXPECT_TRUE(TypeTitle(4, 0).isEmpty());
    EXPECT_TRUE(TypeTitle(255, 2).isEmpty());
    EXPECT_TRUE(TypeTitle(3, 4).isEmpty());
    EXPECT_TRUE(TypeTitle(0, 5).isEmpty());
    EXPECT_EQ(LayoutStdDlg(4, 0, 0, "", 0, kApp, 0, 0).icon, Icon::None);
    EXPECT_EQ(LayoutStdDlg(9, 0, 0, "+", 0, kApp, 0, 0).windowTitle, "Impix II. - ");
}

TEST(StdDlgTitles, IconFollowsType) {
    EXPECT_EQ(Lay(0, 10, 13, 0, 0, 0).icon, Icon::Information);
    EXPECT_EQ(Lay(0, 10, 13, 0, 0, 1).icon, Icon::Question);
    EXPECT_EQ(Lay(0, 10, 13, 0, 0, 2).icon, Icon::Warning);
    EXPECT_EQ(Lay(0, 10, 13, 0, 0, 3).icon, Icon::Error);
    // The language does not change the icon.
    EXPECT_EQ(Lay(0, 10, 13, 0, 7, 3).icon, Icon::Error);
}

TEST(StdDlgTitles, WindowTitleRules) {
    const QString chyba = QStringLiteral("Chyba");
    EXPECT_EQ(WindowTitle("", kApp, chyba), "Chyba");
    EXPECT_EQ(WindowTitle("*", kApp, chyba), "Impix II.");
    EXPECT_EQ(WindowTitle("*ignored", kApp, chyba), "Impix II.");
    EXPECT_EQ(WindowTitle("+", kApp, chyba), "Impix II. - Chyba");
    EXPECT_EQ(WindowTitle("+rest", kApp, chyba), "Impix II. - Chyba");
    EXPECT_EQ(WindowTitle("Port", kApp, chyba), "Port");
    EXPECT_EQ(WindowTitle(" *", kApp, chyba), " *");
    EXPECT_EQ(WindowTitle("a+", kApp, chyba), "a+");
    // The rule is applied with the type title of the dialog's own type and language.
    EXPECT_EQ(LayoutStdDlg(1, 2, 6, "+", 0, kApp, 0, 0).windowTitle,
              QString::fromUtf8("Impix II. - Potvrzení"));
    EXPECT_EQ(LayoutStdDlg(2, 0, 0, "", 1, kApp, 0, 0).windowTitle, "Hinweise");
    EXPECT_EQ(LayoutStdDlg(3, 0, 0, "", 4, kApp, 0, 0).windowTitle, "");
}

TEST(StdDlgButtons, CaptionsAndResultsPerSetAndLanguage) {
    const char* cancel[4] = {"&Storno", "&Abbrechen", "&Cancel", "&Annuler"};
    const char* yes[4] = {"&Ano", "&Ja", "&Yes", "&Oui"};
    const char* no[4] = {"&Ne", "&Nein", "&No", "&Non"};
    for (uint8_t lang = 0; lang < 4; ++lang) {
        SCOPED_TRACE(lang);
        const auto ok = Lay(0, 10, 13, 0, lang);
        EXPECT_EQ(ok.buttonCount, 1);
        EXPECT_EQ(ok.buttons[0].caption, "&OK");
        EXPECT_EQ(ok.buttons[0].result, 1);
        EXPECT_FALSE(ok.buttons[1].visible);
        EXPECT_FALSE(ok.buttons[2].visible);

        const auto okCancel = Lay(1, 10, 13, 0, lang);
        EXPECT_EQ(okCancel.buttonCount, 2);
        EXPECT_EQ(Captions(okCancel)[0], "&OK");
        EXPECT_EQ(Captions(okCancel)[1], cancel[lang]);
        EXPECT_EQ(okCancel.buttons[1].result, 2);
        EXPECT_EQ(okCancel.buttons[1].glyph, Glyph::Cancel); // takes bt3's glyph
        EXPECT_FALSE(okCancel.buttons[2].visible);

        const auto yesNo = Lay(2, 10, 13, 6, lang);
        EXPECT_EQ(yesNo.buttonCount, 2);
        EXPECT_EQ(Captions(yesNo)[0], yes[lang]);
        EXPECT_EQ(Captions(yesNo)[1], no[lang]);
        EXPECT_EQ(yesNo.buttons[0].result, 6);
        EXPECT_EQ(yesNo.buttons[1].result, 7);
        EXPECT_EQ(yesNo.buttons[1].glyph, Glyph::No);

        const auto all = Lay(3, 10, 13, 6, lang);
        EXPECT_EQ(all.buttonCount, 3);
        EXPECT_EQ(Captions(all)[0], yes[lang]);
        EXPECT_EQ(Captions(all)[1], no[lang]);
        EXPECT_EQ(Captions(all)[2], cancel[lang]);
        EXPECT_EQ(all.buttons[2].result, 2);
        for (const auto& b : all.buttons)
            EXPECT_TRUE(b.visible);
    }
}

TEST(StdDlgButtons, ArabicLanguageKeepsDesignYesNo) {
    const QString arabicCancel = QString::fromUtf16(u"\u0627\u0644\u063A\u0627\u0621");
    EXPECT_EQ(Lay(1, 10, 13, 0, 4).buttons[1].caption, arabicCancel);
    EXPECT_EQ(Lay(1, 10, 13, 0, 4).buttons[0].caption, "&OK");
    const auto all = Lay(3, 10, 13, 0, 4);
    EXPECT_EQ(all.buttons[0].caption, " &Ano");
    EXPECT_EQ(all.buttons[1].caption, " &Ne");
    EXPECT_EQ(all.buttons[2].caption, arabicCancel);
    EXPECT_EQ(CancelCaption(4), arabicCancel);
    EXPECT_TRUE(all.typeTitle.isEmpty());
}

TEST(StdDlgButtons, UnknownLanguageKeepsDesignCaptions) {
    const auto all = Lay(3, 10, 13, 0, 9);
    EXPECT_EQ(all.buttons[0].caption, " &Ano");
    EXPECT_EQ(all.buttons[1].caption, " &Ne");
    EXPECT_EQ(all.buttons[2].caption, "&Storno");
    // A Cancel button says cancel, not the design "No" of bt2.
    EXPECT_EQ(Lay(1, 10, 13, 0, 9).buttons[1].caption, "&Storno");
    EXPECT_EQ(Lay(0, 10, 13, 0, 9).buttons[0].caption, "&OK");
}

TEST(StdDlgButtons, FocusByDefResult) {
    struct Case {
        uint8_t buttons, defResult;
        int focus;
    };
    const Case cases[] = {
        {0, 0, 0}, {0, 6, 0}, {1, 0, 0}, {1, 8, 1}, {1, 2, 0}, {1, 7, 0}, {2, 6, 0},
        {2, 7, 1}, {2, 0, 0}, {2, 8, 0}, {3, 6, 0}, {3, 7, 1}, {3, 8, 2}, {3, 2, 0},
    };
    for (const auto& c : cases) {
        const auto l = Lay(c.buttons, 10, 13, c.defResult);
        EXPECT_EQ(l.focusButton, c.focus)
            << "buttons " << int(c.buttons) << " defResult " << int(c.defResult);
        EXPECT_EQ(l.defaultButton, 0);
    }
}

TEST(StdDlgButtons, EscapeAndCloseBoxPerSet) {
    EXPECT_EQ(Lay(0).cancelButton, 0);
    EXPECT_EQ(Lay(1).cancelButton, 1);
    EXPECT_EQ(Lay(2).cancelButton, 1);
    EXPECT_EQ(Lay(3).cancelButton, 2);
    // Escape always answers through a visible button.
    for (uint8_t set = 0; set < 4; ++set)
        EXPECT_TRUE(Lay(set).buttons[static_cast<size_t>(Lay(set).cancelButton)].visible);
    EXPECT_FALSE(Lay(0).closeBoxRemoved);
    EXPECT_FALSE(Lay(1).closeBoxRemoved);
    EXPECT_TRUE(Lay(2).closeBoxRemoved);
    EXPECT_FALSE(Lay(3).closeBoxRemoved);
}

TEST(StdDlgButtons, UnknownSetIsALoneOk) {
    const auto l = Lay(4);
    EXPECT_EQ(l.buttonCount, 1);
    EXPECT_EQ(l.buttons[0].caption, "&OK");
    EXPECT_EQ(l.buttons[0].result, 1);
    EXPECT_FALSE(l.buttons[1].visible);
    EXPECT_EQ(l.clientWidth, 130);
}

TEST(StdDlgSize, ShortMessageKeepsButtonMinimum) {
    EXPECT_EQ(Lay(0).clientWidth, 130);
    EXPECT_EQ(Lay(1).clientWidth, 205);
    EXPECT_EQ(Lay(2).clientWidth, 205);
    EXPECT_EQ(Lay(3).clientWidth, 280);
    // Even an empty label never gives less than the buttons need (and never below 120).
    EXPECT_EQ(Lay(0, 0, 0).clientWidth, 130);
    // The boundary: label + 90 equal to the buttons' minimum, and one pixel more.
    EXPECT_EQ(Lay(0, 40).clientWidth, 130);
    EXPECT_EQ(Lay(0, 41).clientWidth, 131);
    EXPECT_EQ(Lay(2, 115).clientWidth, 205);
    EXPECT_EQ(Lay(2, 116).clientWidth, 206);
}

TEST(StdDlgSize, WideMessageWidensToLabelPlus90) {
    EXPECT_EQ(Lay(0, 300).clientWidth, 390);
    EXPECT_EQ(Lay(2, 300).clientWidth, 390);
    EXPECT_EQ(Lay(3, 300).clientWidth, 390);
}

TEST(StdDlgSize, HeightAndButtonTop) {
    const auto l = Lay(0, 10, 13);
    EXPECT_EQ(l.clientHeight, 103);
    EXPECT_EQ(l.buttonTop, 68);
    const auto tall = Lay(3, 10, 52);
    EXPECT_EQ(tall.clientHeight, 142);
    EXPECT_EQ(tall.buttonTop, 107);
}

TEST(StdDlgSize, ButtonLeftsWithIntegerHalving) {
    // One button: (130 - 75) / 2 = 27.5 -> 27; (131 - 75) / 2 = 28.
    EXPECT_EQ(Lay(0, 10).buttons[0].left, 27);
    EXPECT_EQ(Lay(0, 41).buttons[0].left, 28);
    EXPECT_EQ(Lay(0, 300).buttons[0].left, 157);
    // Two: (205 - 175) / 2 = 15, then 25 between; (391 - 175) / 2 = 108.
    auto two = Lay(2, 10);
    EXPECT_EQ(two.buttons[0].left, 15);
    EXPECT_EQ(two.buttons[1].left, 115);
    two = Lay(1, 301);
    EXPECT_EQ(two.buttons[0].left, 108);
    EXPECT_EQ(two.buttons[1].left, 208);
    // Three: (280 - 275) / 2 = 2.5 -> 2; (391 - 275) / 2 = 58.
    auto three = Lay(3, 10);
    EXPECT_EQ(three.buttons[0].left, 2);
    EXPECT_EQ(three.buttons[1].left, 102);
    EXPECT_EQ(three.buttons[2].left, 202);
    three = Lay(3, 301);
    EXPECT_EQ(three.buttons[0].left, 58);
    EXPECT_EQ(three.buttons[2].left, 258);
    // The buttons sit symmetrically (within the pixel lost to halving).
    for (uint8_t set = 0; set < 4; ++set) {
        for (int width : {0, 55, 300, 301}) {
            const auto l = Lay(set, width);
            const auto& last = l.buttons[static_cast<size_t>(l.buttonCount - 1)];
            const int right = l.clientWidth - (last.left + kButtonWidth);
            EXPECT_TRUE(right == l.buttons[0].left || right == l.buttons[0].left + 1)
                << "set " << int(set) << " width " << width;
        }
    }
}

} // namespace
