#include "base/DecimalText.h"

#include <charconv>
#include <cmath>
#include <string>

namespace {
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
} // namespace

std::optional<double> ReadDecimal(std::string_view text,
                                  std::initializer_list<std::string_view> separators) {
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
    double value = 0;
    const char* end = plain.data() + plain.size();
    const auto res = std::from_chars(plain.data(), end, value);
    if (res.ec != std::errc() || res.ptr != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}
