#include "base/DecimalText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string>

namespace {
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The characters from_chars reads in a decimal number.
constexpr std::string_view NumberChars = "0123456789.-+eE";
constexpr auto IsNumberChar = [] {
    std::array<bool, 256> t{};
    for (const char c : NumberChars)
        t[uint8_t(c)] = true;
    return t;
}();

// Whether from_chars reads `text` as the rules below would, where it stands: no '+' in front,
// only NumberChars, a point only where the point is a separator, and no other separator made of
// such characters. A block of measurements is mostly such numbers, read here without a copy.
bool ReadableInPlace(std::string_view text, std::initializer_list<std::string_view> separators) {
    bool point = false;
    for (std::string_view sep : separators) {
        if (sep == ".")
            point = true;
        else if (sep.find_first_of(NumberChars) != std::string_view::npos)
            return false;
    }
    return !text.empty() && text[0] != '+' && std::all_of(text.begin(), text.end(), [&](char c) {
        return IsNumberChar[uint8_t(c)] && (point || c != '.');
    });
}

std::optional<double> FiniteValue(std::string_view plain) {
    double value = 0;
    const char* end = plain.data() + plain.size();
    const auto res = std::from_chars(plain.data(), end, value);
    if (res.ec != std::errc() || res.ptr != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}
} // namespace

std::optional<double> ReadDecimal(std::string_view text,
                                  std::initializer_list<std::string_view> separators) {
    if (ReadableInPlace(text, separators))
        return FiniteValue(text);
    // The same number in the notation from_chars reads.
    std::string plain;
    plain.reserve(text.size());
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-')
            plain += '-';
        ++i;
    }
    const auto separatorAt = [&](size_t at) -> size_t {
        for (std::string_view sep : separators)
            if (!sep.empty() && text.substr(at, sep.size()) == sep)
                return sep.size();
        return 0;
    };
    int digits = 0;
    bool point = false;
    while (i < text.size()) {
        if (IsDigit(text[i])) {
            plain += text[i++];
            ++digits;
        } else if (const size_t n = point ? 0 : separatorAt(i)) {
            plain += '.';
            point = true;
            i += n;
        } else {
            break;
        }
    }
    if (digits == 0)
        return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        plain += 'e';
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            plain += text[i++];
        const size_t expStart = i;
        while (i < text.size() && IsDigit(text[i]))
            plain += text[i++];
        if (i == expStart)
            return std::nullopt;
    }
    if (i != text.size())
        return std::nullopt;
    return FiniteValue(plain);
}
