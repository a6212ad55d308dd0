#include "CellText.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "base/DecimalText.h"

namespace sheets {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsHex(char c) {
    return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// "_x" + four hex digits + "_" at i.
bool IsUnderscoreEscape(std::string_view t, size_t i) {
    return i + 7 <= t.size() && t[i] == '_' && t[i + 1] == 'x' && IsHex(t[i + 2]) &&
           IsHex(t[i + 3]) && IsHex(t[i + 4]) && IsHex(t[i + 5]) && t[i + 6] == '_';
}

void AppendEscape(std::string& out, unsigned code) {
    static const char hex[] = "0123456789ABCDEF";
    out += "_x";
    for (int shift = 12; shift >= 0; shift -= 4)
        out += hex[(code >> shift) & 0xF];
    out += '_';
}

} // namespace

CellValue ClassifyCellText(std::string_view text, std::string_view decimalSeparator,
                           bool formattedAsText) {
    if (text.empty())
        return {};
    if (!formattedAsText && text.size() > 1 && text[0] == '=')
        return {CellKind::Formula, std::string(text.substr(1))};
    if (!formattedAsText) {
        // Plain integers of up to 15 digits are already in the package's notation.
        const size_t sign = text[0] == '-' ? 1 : 0;
        const size_t digits = text.size() - sign;
        if (digits > 0 && digits <= 15 && (text[sign] != '0' || digits == 1) &&
            std::all_of(text.begin() + long(sign), text.end(), IsDigit))
            return {CellKind::Number, std::string(text)};
        if (const std::optional<double> v = ReadDecimal(text, {".", decimalSeparator})) {
            char buf[32];
            const auto w = std::to_chars(buf, buf + sizeof buf, *v);
            return {CellKind::Number, std::string(buf, w.ptr)};
        }
    }
    return {CellKind::String, std::string(text)};
}

void AppendXmlText(std::string& out, std::string_view t, bool escapeUnderscores) {
    // Most texts need no escape at all.
    if (std::none_of(t.begin(), t.end(), [](char ch) {
            const auto c = static_cast<unsigned char>(ch);
            return c < 0x20 || c == '&' || c == '<' || c == '>' || c == '_' || c == 0xEF;
        })) {
        out += t;
        return;
    }
    for (size_t i = 0; i < t.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(t[i]);
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '\r':
            out += "&#13;";
            break;
        case '\t':
        case '\n':
            out += char(c);
            break;
        case '_':
            if (escapeUnderscores && IsUnderscoreEscape(t, i))
                AppendEscape(out, '_');
            else
                out += '_';
            break;
        default:
            if (c < 0x20) {
                AppendEscape(out, c);
            } else if (c == 0xEF && i + 2 < t.size() && uint8_t(t[i + 1]) == 0xBF &&
                       (uint8_t(t[i + 2]) == 0xBE || uint8_t(t[i + 2]) == 0xBF)) {
                AppendEscape(out, 0xFFFEu + (uint8_t(t[i + 2]) - 0xBEu)); // U+FFFE, U+FFFF
                i += 2;
            } else {
                out += char(c);
            }
        }
    }
}

std::string DecodeUnderscoreEscapes(std::string_view t) {
    std::string out;
    out.reserve(t.size());
    for (size_t i = 0; i < t.size(); ++i) {
        if (!IsUnderscoreEscape(t, i)) {
            out += t[i];
            continue;
        }
        unsigned code = 0;
        std::from_chars(t.data() + i + 2, t.data() + i + 6, code, 16);
        // UTF-8 of a code unit below U+10000 (surrogates are not escaped by us).
        if (code < 0x80) {
            out += char(code);
        } else if (code < 0x800) {
            out += char(0xC0 | (code >> 6));
            out += char(0x80 | (code & 0x3F));
        } else {
            out += char(0xE0 | (code >> 12));
            out += char(0x80 | ((code >> 6) & 0x3F));
            out += char(0x80 | (code & 0x3F));
        }
        i += 6;
    }
    return out;
}

} // namespace sheets
