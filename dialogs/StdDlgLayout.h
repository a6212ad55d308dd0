#pragma once
// What the standard message dialog shows for a message type, a button set and a language: the
// icon, the titles, the buttons with their captions and results, which button Escape presses,
// which one has the focus, and the dialog's size and the buttons' places. No widgets here: the
// dialog form only applies this.
#include <QString>
#include <array>
#include <cstdint>

namespace stddlg {

inline constexpr int kButtonWidth = 75;
inline constexpr int kButtonHeight = 25;
inline constexpr int kMinClientWidth = 120;

// Modal results of the buttons.
inline constexpr int kResultOk = 1;
inline constexpr int kResultCancel = 2;
inline constexpr int kResultYes = 6;
inline constexpr int kResultNo = 7;

enum class Icon { None, Information, Question, Warning, Error };
// The mark drawn on a button beside its caption.
enum class Glyph { Check, No, Cancel };

struct ButtonLayout {
    bool visible = false;
    QString caption;
    int result = 0;
    Glyph glyph = Glyph::Check;
    int left = 0;
};

struct StdDlgLayout {
    Icon icon = Icon::None;
    QString typeTitle;
    QString windowTitle;
    std::array<ButtonLayout, 3> buttons; // bt1, bt2, bt3
    int buttonCount = 0;
    int defaultButton = 0; // the one Enter presses while no button has the focus
    int cancelButton = -1; // the one Escape presses; -1 when Escape does nothing
    int focusButton = 0;   // the one that has the focus when the dialog shows
    bool closeBoxRemoved = false;
    int clientWidth = 0;
    int clientHeight = 0;
    int buttonTop = 0;
};

// DlgType 0 information, 1 question, 2 warning, 3 error; Lang 0 Czech, 1 German, 2 English,
// 3 French. Other types and languages have an empty title.
QString TypeTitle(uint8_t dlgType, uint8_t lang);
// Empty caption: the type title; "*..." the application title; "+..." the application title,
// " - " and the type title; anything else as given.
QString WindowTitle(const QString& caption, const QString& appTitle, const QString& typeTitle);
// The Cancel caption of a language (4 is Arabic); design caption for unknown languages.
QString CancelCaption(uint8_t lang);

// Buttons: 0 OK; 1 OK, Cancel; 2 Yes, No; 3 Yes, No, Cancel (others as 0). labelWidth and
// labelHeight are the message label's size, sized to its text.
StdDlgLayout LayoutStdDlg(uint8_t dlgType, uint8_t buttons, uint8_t defResult,
                          const QString& caption, uint8_t lang, const QString& appTitle,
                          int labelWidth, int labelHeight);

} // namespace stddlg
