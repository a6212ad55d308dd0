#include "dialogs/StdDlgLayout.h"

#include "dialogs/Windows1256.h"

#include <algorithm>

namespace stddlg {
namespace {

// Non-ASCII letters are written as escapes so the texts do not depend on how the file is read.
const char16_t* const kTypeTitles[4][4] = {
    {u"Informace", u"Potvrzen\u00ED", u"Upozorn\u011Bn\u00ED", u"Chyba"},
    {u"Auskunft", u"Bestaetigung", u"Hinweise", u"Fehler"},
    {u"Information", u"Question", u"Warning", u"Error"},
    {u"Information", u"Interrogation", u"Avertissement", u"Erreur"},
};
const char16_t* const kYes[4] = {u"&Ano", u"&Ja", u"&Yes", u"&Oui"};
const char16_t* const kNo[4] = {u"&Ne", u"&Nein", u"&No", u"&Non"};
const char16_t* const kCancel[4] = {u"&Storno", u"&Abbrechen", u"&Cancel", u"&Annuler"};

// The form's own captions, kept where a language has no word of its own.
const char16_t* const kDesignYes = u" &Ano";
const char16_t* const kDesignNo = u" &Ne";
const char16_t* const kDesignCancel = u"&Storno";
// "Cancel" in Arabic, as stored in Windows-1256.
constexpr char kArabicCancel[] = "\xC7\xE1\xDB\xC7\xC1";

constexpr int kLanguages = 4;
constexpr int kArabic = 4;
constexpr int kButtonGap = 25;

QString YesCaption(uint8_t lang) {
    return QString::fromUtf16(lang < kLanguages ? kYes[lang] : kDesignYes);
}

QString NoCaption(uint8_t lang) {
    return QString::fromUtf16(lang < kLanguages ? kNo[lang] : kDesignNo);
}

ButtonLayout Button(const QString& caption, int result, Glyph glyph) {
    ButtonLayout b;
    b.visible = true;
    b.caption = caption;
    b.result = result;
    b.glyph = glyph;
    return b;
}

} // namespace

QString TypeTitle(uint8_t dlgType, uint8_t lang) {
    if (dlgType >= 4 || lang >= kLanguages)
        return {};
    return QString::fromUtf16(kTypeTitles[lang][dlgType]);
}

QString WindowTitle(const QString& caption, const QString& appTitle, const QString& typeTitle) {
    if (caption.isEmpty())
        return typeTitle;
    if (caption.front() == u'*')
        return appTitle;
    if (caption.front() == u'+')
        return appTitle + QStringLiteral(" - ") + typeTitle;
    return caption;
}

QString CancelCaption(uint8_t lang) {
    if (lang == kArabic)
        return DecodeWindows1256(kArabicCancel);
    return QString::fromUtf16(lang < kLanguages ? kCancel[lang] : kDesignCancel);
}

StdDlgLayout LayoutStdDlg(uint8_t dlgType, uint8_t buttons, uint8_t defResult,
                          const QString& caption, uint8_t lang, const QString& appTitle,
                          int labelWidth, int labelHeight) {
    StdDlgLayout l;
    l.icon = dlgType < 4 ? static_cast<Icon>(dlgType + 1) : Icon::None;
    l.typeTitle = TypeTitle(dlgType, lang);
    l.windowTitle = WindowTitle(caption, appTitle, l.typeTitle);

    const QString ok = QStringLiteral("&OK");
    auto& [bt1, bt2, bt3] = l.buttons;
    // A set the system never passes gets a lone OK, so the dialog can always be left.
    switch (buttons <= 3 ? buttons : 0) {
    case 1:
        bt1 = Button(ok, kResultOk, Glyph::Check);
        bt2 = Button(CancelCaption(lang), kResultCancel, Glyph::Cancel);
        l.buttonCount = 2;
        l.cancelButton = 1;
        l.focusButton = defResult == 8 ? 1 : 0;
        break;
    case 2:
        bt1 = Button(YesCaption(lang), kResultYes, Glyph::Check);
        bt2 = Button(NoCaption(lang), kResultNo, Glyph::No);
        l.buttonCount = 2;
        l.cancelButton = 1;
        l.focusButton = defResult == 7 ? 1 : 0;
        l.closeBoxRemoved = true;
        break;
    case 3:
        bt1 = Button(YesCaption(lang), kResultYes, Glyph::Check);
        bt2 = Button(NoCaption(lang), kResultNo, Glyph::No);
        bt3 = Button(CancelCaption(lang), kResultCancel, Glyph::Cancel);
        l.buttonCount = 3;
        // The Cancel button answers Escape, as its kind says.
        l.cancelButton = 2;
        l.focusButton = defResult == 7 ? 1 : defResult == 8 ? 2 : 0;
        break;
    default:
        bt1 = Button(ok, kResultOk, Glyph::Check);
        l.buttonCount = 1;
        l.cancelButton = 0;
        l.focusButton = 0;
        break;
    }

    const int w = kButtonWidth;
    const int n = l.buttonCount;
    l.clientWidth = std::max(labelWidth + 90, n * w + 55);
    l.clientHeight = labelHeight + 90;
    l.clientWidth = std::max(l.clientWidth, kMinClientWidth);
    l.buttonTop = l.clientHeight - 35;
    // C++ division truncates toward zero, as the halvings must.
    if (n == 1) {
        bt1.left = (l.clientWidth - w) / 2;
    } else if (n == 2) {
        bt1.left = (l.clientWidth - 2 * w - kButtonGap) / 2;
        bt2.left = bt1.left + w + kButtonGap;
    } else {
        bt1.left = (l.clientWidth - 3 * w - 2 * kButtonGap) / 2;
        bt2.left = bt1.left + w + kButtonGap;
        bt3.left = bt2.left + w + kButtonGap;
    }
    return l;
}

} // namespace stddlg
