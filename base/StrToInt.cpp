#include "base/StrToInt.h"

#include "base/Failure.h"

namespace {

char16_t CodeOf(QChar c) {
    return c.unicode();
}
// Bytes are Latin-1: the code is the unsigned byte.
char16_t CodeOf(char c) {
    return static_cast<unsigned char>(c);
}

// One parser for both kinds of text: Text is indexed by position and yields characters with a
// code in unicode-compatible order (QChar or char).
template <class Text> bool TryParse(const Text& text, qsizetype n, int32_t& value) {
    qsizetype i = 0;
    bool negative = false;
    if (i < n && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < n && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= n)
        return false;
    // Decimal: the magnitude may reach 2^31 only for a negative value; hexadecimal: 32 bits.
    const uint64_t limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    uint64_t magnitude = 0;
    for (; i < n; ++i) {
        const char16_t c = CodeOf(text[i]);
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        magnitude = magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
        if (magnitude > limit)
            return false;
    }
    const uint32_t bits = static_cast<uint32_t>(magnitude);
    value = static_cast<int32_t>(negative ? 0u - bits : bits);
    return true;
}

} // namespace

bool TryStrToInt(const QString& text, int32_t& value) {
    return TryParse(text, text.size(), value);
}

bool TryStrToInt(std::string_view text, int32_t& value) {
    return TryParse(text, static_cast<qsizetype>(text.size()), value);
}

int32_t StrToInt(const QString& text) {
    int32_t value = 0;
    if (!TryStrToInt(text, value))
        throw Failure(QString("'%1' is not a valid integer value").arg(text));
    return value;
}
