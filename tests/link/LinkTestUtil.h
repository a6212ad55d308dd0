#pragma once
// Helpers shared by the link tests: byte vectors from hex and feeding a receiver.
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include <QString>

#include "base/Failure.h"
#include "link/Frame.h"

// Readable QString values in assertion messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

inline std::vector<uint8_t> Hex(const std::string& text) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < text.size();) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        out.push_back(static_cast<uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
        i += 2;
    }
    return out;
}

inline void Feed(FrameReceiver& rx, const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes)
        rx.Receive(b);
}

// The text of the failure that `f` throws, or "(no failure)".
template <class F> QString FailureText(F&& f) {
    try {
        f();
    } catch (const Failure& e) {
        return e.text();
    }
    return QStringLiteral("(no failure)");
}
