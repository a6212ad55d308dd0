#pragma once
// Integer texts as the console's platform converts them: an optional sign, then decimal digits,
// or hexadecimal digits after "$" or "0x"; no blanks anywhere. Decimal values must fit 32 bits;
// hexadecimal ones may use all 32 bits and wrap ("$FFFFFFFF" is -1).
#include <cstdint>
#include <string_view>

#include <QString>

bool TryStrToInt(const QString& text, int32_t& value);
// The same rules for 8-bit text (the text file conversion reads lines as bytes).
bool TryStrToInt(std::string_view text, int32_t& value);
// Fails with "'%s' is not a valid integer value", the text filled in.
int32_t StrToInt(const QString& text);
