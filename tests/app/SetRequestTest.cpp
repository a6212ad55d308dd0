// "Set" buttons end to end: what the logger's answers put into the controls goes back unchanged,
// and a value its request field cannot carry is refused with nothing sent.
#include <QAbstractButton>

#include "base/EventGuard.h"
#include "link/Frame.h"
#include "tests/app/ConsoleFixture.h"

namespace {

struct Clock {
    int year, month, day, hour, minute, second;
};

// Answer 251's data: second first, century last.
std::vector<uint8_t> ClockAnswer(const Clock& c) {
    return {uint8_t(c.second), uint8_t(c.minute), uint8_t(c.hour),       1,
            uint8_t(c.day),    uint8_t(c.month),  uint8_t(c.year % 100), uint8_t(c.year / 100)};
}

QByteArray SetTimeFrame(const Clock& c, int weekday) {
    const std::vector<uint8_t> payload = {
        uint8_t(c.year / 100), uint8_t(c.year % 100), uint8_t(c.month),  uint8_t(c.day),
        uint8_t(weekday),      uint8_t(c.hour),       uint8_t(c.minute), uint8_t(c.second)};
    const std::vector<uint8_t> f = frame::Build(frame::RequestStart, 136, payload);
    return QByteArray(reinterpret_cast<const char*>(f.data()), qsizetype(f.size()));
}

} // namespace

TEST_F(ConsoleFixture, LoggerClockGoesBackUnchangedInEveryLocale) {
    QString failure;
    SetFailureHandler([&](const QString& text) { failure = text; });
    const struct {
        Clock clock;
        int weekday;
    } clocks[] = {
        {{2026, 12, 8, 8, 57, 29}, 3}, {{2024, 2, 29, 23, 5, 9}, 5}, {{26, 1, 2, 12, 0, 0}, 6}};
    const struct {
        const char* locale;
        const char* shown; // the first clock as ClockEd shows it
    } locales[] = {
        {"C", "8 Dec 2026 - 08:57:29"},     {"en_US", "12/8/2026 - 8:57:29 AM"},
        {"en_GB", "08/12/2026 - 08:57:29"}, {"de_DE", "08.12.2026 - 08:57:29"},
        {"cs_CZ", "08.12.2026 - 8:57:29"},  {"fr_FR", "08/12/2026 - 08:57:29"},
    };
    for (const auto& l : locales) {
        link = nullptr;
        window.reset();
        Start(true, FormatSettings::fromLocale(QString(l.locale) == "C" ? QLocale::c()
                                                                        : QLocale(l.locale)));
        for (const auto& c : clocks) {
            const std::vector<uint8_t> f =
                frame::Build(frame::AnswerStart, 251, ClockAnswer(c.clock));
            for (uint8_t b : f)
                link->RS232Receive(b);
            if (&c == &clocks[0]) {
                EXPECT_EQ(Text("ClockEd"), QString::fromUtf8(l.shown)) << l.locale;
            }
            failure.clear();
            Click("SetTimeBtn");
            EXPECT_EQ(failure, "") << l.locale << " " << Text("ClockEd").toStdString();
            EXPECT_EQ(pty.Read(12).toHex(' '), SetTimeFrame(c.clock, c.weekday).toHex(' '))
                << l.locale << " " << Text("ClockEd").toStdString();
        }
    }
}

TEST_F(ConsoleFixture, ValuesTheirFieldCannotCarryAreRefusedAndNothingIsSent) {
    Start();
    QString failure;
    SetFailureHandler([&](const QString& text) { failure = text; });
    const struct {
        const char* control;
        const char* text;
        const char* button;
        const char* message; // empty: sent
    } cases[] = {
        {"RetryRepEd", "300", "SetGPRSrepBtn", "Number of retries 300 is out of range 0 to 255"},
        {"RetryRepEd", "255", "SetGPRSrepBtn", ""},
        {"RepHourEd", "-1", "SetGPRSrepBtn", "Report hour -1 is out of range 0 to 255"},
        {"RepHourEd", "0", "SetGPRSrepBtn", ""},
        {"RepMinEd", "256", "SetGPRSrepBtn", "Report minute 256 is out of range 0 to 255"},
        {"RepMinEd", "0", "SetGPRSrepBtn", ""},
        {"FromValEd", "-1", "DwnBtn", "First item -1 is out of range 0 to 16777215"},
        {"FromValEd", "0", "DwnBtn", ""},
        {"AmountValEd", "16777216", "DwnBtn", "Amount 16777216 is out of range 0 to 16777215"},
        {"AmountValEd", "16777215", "DwnBtn", ""},
    };
    for (const auto& c : cases) {
        SetControlText(Find(c.control), c.text);
        failure.clear();
        Click(c.button);
        EXPECT_EQ(failure, c.message) << c.control << "=" << c.text;
        const QByteArray sent = pty.Read(1, *c.message ? 200 : 5000);
        EXPECT_EQ(sent.isEmpty(), *c.message != 0) << c.control << "=" << c.text;
        pty.Read(64, 200); // the rest of a frame that went out
    }
}
