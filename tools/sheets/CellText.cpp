#include "CellText.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <optional>

#include "base/DecimalText.h"

namespace sheets {

namespace {

// An object, not a function: the searches over every poked cell inline it.
constexpr auto IsDigit = [](char c) { return c >= '0' && c <= '9'; };

bool IsHex(char c) {
    return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// "_x" + four hex digits + "_" at i.
bool IsUnderscoreEscape(std::string_view t, size_t i) {
    return i + 7 <= t.size() && t[i] == '_' && t[i + 1] == 'x' && IsHex(t[i + 2]) &&
           IsHex(t[i + 3]) && IsHex(t[i + 4]) && IsHex(t[i + 5]) && t[i + 6] == '_';
}

char* Put(char* out, std::string_view s) {
    std::memcpy(out, s.data(), s.size());
    return out + s.size();
}

// The entity or character reference that stands for c in element text or an attribute value;
// null where c stands for itself (or takes the package's escape).
const char* Entity(unsigned char c, bool attribute) {
    static constexpr struct {
        unsigned char c;
        const char* text;
        const char* attribute;
    } Entities[] = {{'&', "&amp;", "&amp;"},  {'<', "&lt;", "&lt;"},    {'>', "&gt;", nullptr},
                    {'"', nullptr, "&quot;"}, {'\r', "&#13;", "&#13;"}, {'\t', nullptr, "&#9;"},
                    {'\n', nullptr, "&#10;"}};
    for (const auto& e : Entities)
        if (e.c == c)
            return attribute ? e.attribute : e.text;
    return nullptr;
}

// The package's escape of one UTF-16 code unit: "_x" + four hex digits + "_".
char* PutEscape(char* out, unsigned code) {
    static const char hex[] = "0123456789ABCDEF";
    *out++ = '_';
    *out++ = 'x';
    for (int shift = 12; shift >= 0; shift -= 4)
        *out++ = hex[(code >> shift) & 0xF];
    *out++ = '_';
    return out;
}

// A decimal with a point, in the notation the package's numbers are written in ("46000.5",
// "-0.25": no leading or trailing zeros, no exponent where that would be shorter) and of at most
// 17 significant digits, so that it reads back as the very double it stands for: kept as it is
// rather than read and written anew. A block of measurements has a million of them.
bool InPackageNotation(std::string_view t) {
    const size_t from = t.starts_with('-') ? 1 : 0;
    const size_t point = t.find('.', from);
    if (point == std::string_view::npos || point == from || point + 1 == t.size() ||
        t.back() == '0' || !std::all_of(t.begin() + long(from), t.begin() + long(point), IsDigit) ||
        !std::all_of(t.begin() + long(point) + 1, t.end(), IsDigit))
        return false;
    if (t[from] != '0')
        return t.size() - from - 1 <= 17;
    // "0.0x" at most: from two zeros after the point on, the exponent form is shorter.
    return point == from + 1 && (t[point + 1] != '0' || t[point + 2] != '0') &&
           t.size() - point - 1 - (t[point + 1] == '0' ? 1 : 0) <= 17;
}

} // namespace

CellValue ClassifyCellText(std::string_view text, std::string_view decimalSeparator,
                           bool formattedAsText, std::string& scratch) {
    if (text.empty())
        return {};
    if (!formattedAsText && text.size() > 1 && text[0] == '=')
        return {CellKind::Formula, text.substr(1)};
    if (!formattedAsText) {
        // Plain integers of up to 15 digits are already in the package's notation.
        const size_t sign = text[0] == '-' ? 1 : 0;
        const size_t digits = text.size() - sign;
        if (digits > 0 && digits <= 15 && (text[sign] != '0' || digits == 1) &&
            std::all_of(text.begin() + long(sign), text.end(), IsDigit))
            return {CellKind::Number, text};
        if (InPackageNotation(text))
            return {CellKind::Number, text};
        if (const std::optional<double> v = ReadDecimal(text, {".", decimalSeparator})) {
            char buf[32];
            const auto w = std::to_chars(buf, buf + sizeof buf, *v);
            scratch.assign(buf, w.ptr);
            return {CellKind::Number, scratch};
        }
    }
    return {CellKind::String, text};
}

char* WriteXml(char* o, std::string_view t, XmlEscape how) {
    const bool attribute = how == XmlEscape::Attribute;
    const bool underscores = how == XmlEscape::CellText;
    // Most texts need no escape at all.
    if (std::none_of(t.begin(), t.end(), [&](char ch) {
            const auto c = static_cast<unsigned char>(ch);
            return c < 0x20 || c == '&' || c == '<' || c == '>' || c == '"' || c == 0xEF ||
                   (c == '_' && underscores);
        }))
        return Put(o, t);
    for (size_t i = 0; i < t.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(t[i]);
        if (const char* entity = Entity(c, attribute)) {
            o = Put(o, entity);
        } else if (c == '_' && underscores && IsUnderscoreEscape(t, i)) {
            o = PutEscape(o, '_');
        } else if (c < 0x20 && c != '\t' && c != '\n') {
            o = PutEscape(o, c);
        } else if (c == 0xEF && i + 2 < t.size() && uint8_t(t[i + 1]) == 0xBF &&
                   (uint8_t(t[i + 2]) == 0xBE || uint8_t(t[i + 2]) == 0xBF)) {
            o = PutEscape(o, 0xFFFEu + (uint8_t(t[i + 2]) - 0xBEu)); // U+FFFE, U+FFFF
            i += 2;
        } else {
            *o++ = char(c);
        }
    }
    return o;
}

void AppendXml(std::string& out, std::string_view text, XmlEscape how) {
    const size_t at = out.size();
    out.resize(at + text.size() * XmlEscapeGrowth);
    out.resize(size_t(WriteXml(out.data() + at, text, how) - out.data()));
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
